// Loads an account list from arbitrary file bytes: it must finish quickly, keep the three
// lists in step, and give only printable, zero-terminated names.
#include "accounts/account_list_file.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    kpv::RecordStream content(kpv::SecureBuffer::ofBytes(data, static_cast<std::uint32_t>(size)));
    kpv::AccountIdList ids;
    kpv::BufferList keys;
    kpv::BufferList names;
    kpv::readAccountList(content, ids, keys, names);
    if (ids.length() != keys.length() || ids.length() != names.length())
        __builtin_trap();
    if (ids.length() > size / 12 + kpv::MAX_PLACEHOLDER_FILL + 1)
        __builtin_trap();
    for (std::uint32_t i = 0; i < names.length(); ++i) {
        const kpv::SecureBuffer& name = names[i];
        if (name.empty() || name.data()[name.length() - 1] != 0)
            __builtin_trap();
        for (std::uint32_t j = 0; j + 1 < name.length(); ++j)
            if (name.data()[j] < 0x20 || name.data()[j] == 0x7F)
                __builtin_trap();
    }
    // What was read is written back and read again unchanged.
    kpv::RecordStream again = kpv::writeAccountList(ids, keys, names);
    kpv::AccountIdList ids2;
    kpv::BufferList keys2;
    kpv::BufferList names2;
    kpv::readAccountList(again, ids2, keys2, names2);
    if (ids2.length() != ids.length())
        __builtin_trap();
    for (std::uint32_t i = 0; i < ids.length(); ++i)
        if (ids2[i] != ids[i] || !keys2[i].equals(keys[i]) || !names2[i].equals(names[i]))
            __builtin_trap();
    return 0;
}
