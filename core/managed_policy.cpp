#include "core/managed_policy.h"

namespace kpv {

bool isAcceptableHostName(const std::string& name) {
    if (name.empty() || name.size() > POLICY_MAX_HOST_NAME)
        return false;
    for (const char c : name) {
        const bool letterOrDigit =
            (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (!letterOrDigit && c != '.' && c != '-' && c != '_')
            return false;
    }
    return true;
}

namespace {

bool acceptablePath(const std::string& path) {
    if (path.empty() || path.size() > POLICY_MAX_PATH)
        return false;
    for (const char c : path)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            return false;
    return true;
}

} // namespace

ManagedPolicy readManagedPolicy(const PolicySource& source) {
    ManagedPolicy policy;
    if (auto host = source.text(POLICY_SERVER_HOST); host && isAcceptableHostName(*host))
        policy.serverHost = *host;
    if (auto days = source.number(POLICY_WARNING_DAYS);
        days && *days >= POLICY_MIN_WARNING_DAYS && *days <= POLICY_MAX_WARNING_DAYS)
        policy.warningDays = static_cast<std::uint16_t>(*days);
    if (auto lock = source.number(POLICY_LOCK_ACCOUNTS))
        policy.accountsLocked = *lock != 0;
    if (auto path = source.text(POLICY_USER_LIST_FILE); path && acceptablePath(*path))
        policy.userListFile = *path;
    return policy;
}

} // namespace kpv
