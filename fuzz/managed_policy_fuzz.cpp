// Arbitrary registry values (texts split at zero bytes, numbers from the next bytes) through the
// policy checks: no crash, and whatever is accepted keeps the promised bounds.
#include "core/managed_policy.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const std::size_t split = bytes.find('\0');
    const std::string host = bytes.substr(0, split);
    const std::string path = split == std::string::npos ? host : bytes.substr(split + 1);
    std::uint32_t number = 0;
    for (std::size_t i = 0; i < 4 && i < size; ++i)
        number = (number << 8) | data[i];

    kpv::FixedPolicy source;
    source.setText(kpv::POLICY_SERVER_HOST, host)
        .setText(kpv::POLICY_USER_LIST_FILE, path)
        .setNumber(kpv::POLICY_WARNING_DAYS, number)
        .setNumber(kpv::POLICY_LOCK_ACCOUNTS, number);
    const kpv::ManagedPolicy policy = kpv::readManagedPolicy(source);
    if (policy.serverHost.size() > kpv::POLICY_MAX_HOST_NAME ||
        policy.userListFile.size() > kpv::POLICY_MAX_PATH ||
        policy.warningDays > kpv::POLICY_MAX_WARNING_DAYS ||
        (!policy.serverHost.empty() && policy.serverHost != host))
        __builtin_trap();
    for (const char c : policy.userListFile)
        if (static_cast<unsigned char>(c) < 0x20)
            __builtin_trap();
    return 0;
}
