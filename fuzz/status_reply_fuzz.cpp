// Feeds arbitrary reply frames to the status reply handler for a few accounts. The first
// input byte picks the number of accounts; the reply is framed correctly half of the time so
// that the body is reached. Nothing may crash, and every text handed to the list must be a
// zero-terminated text of bounded size.
#include "fuzz/fuzz_folder.h"
#include "fuzz/fuzz_support.h"
#include "net/frame.h"
#include "status/management_act.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    enterFuzzFolder();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2 || size > (1 << 20))
        return 0;
    const std::uint32_t accounts = data[0] % 8;
    const bool frameIt = (data[1] & 1) != 0;
    data += 2;
    size -= 2;

    kpv::AccountIdList ids;
    kpv::BufferList keys;
    kpv::BufferList names;
    static const std::uint8_t KEY[32] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    for (std::uint32_t i = 0; i < accounts; ++i) {
        ids.append(i);
        keys.appendCopy(kpv::SecureBuffer::ofBytes(KEY, 16 + 8 * (i % 3)));
        names.appendCopy(kpv::SecureBuffer::fromCString("namn"));
    }

    kpv::RecordStream reply;
    if (frameIt) {
        kpv::beginFrame(reply);
        reply.writeU16At(8, kpv::MSG_STATUS_REPLY);
        reply.appendBytes(data, static_cast<std::uint32_t>(size));
        reply.writeU32At(4, reply.length());
    } else {
        reply.appendBytes(data, static_cast<std::uint32_t>(size));
    }
    reply.cursor = 14;

    CheckedRowsView ui;
    kpv::AccountIdList excludedIds;
    kpv::BufferList excludedTexts;
    kpv::ManagementAct action(ui, static_cast<std::int32_t>(accounts), ids, keys, names,
                              &excludedIds, &excludedTexts, true);
    kpv::RecordStream next;
    std::uint8_t longIdle = 0;
    (void)action.handleReply(reply, next, longIdle);
    if (next.length() != 0 || longIdle != 0 || excludedIds.length() != excludedTexts.length())
        __builtin_trap();
    for (std::uint32_t i = 0; i < excludedTexts.length(); ++i)
        if (excludedTexts[i].length() > 2 * size + 1)
            __builtin_trap();
    return 0;
}
