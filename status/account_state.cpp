#include "status/account_state.h"

namespace kpv {

const char* accountStateName(AccountState state) {
    switch (state) {
    case AccountState::Unopened:
        return "unopened";
    case AccountState::Outdated:
        return "outdated";
    case AccountState::Emptied:
        return "emptied";
    case AccountState::Shrunk:
        return "shrunk";
    case AccountState::CopiesLost:
        return "copies_lost";
    case AccountState::Ok:
        return "ok";
    case AccountState::Snoozed:
        return "snoozed";
    }
    return "ok";
}

bool needsAttention(AccountState state) {
    return state < AccountState::Ok;
}

bool isOutdated(std::uint32_t lastCopyTime, std::int64_t now, std::uint32_t periodSeconds) {
    return now - std::int64_t(lastCopyTime) > std::int64_t(periodSeconds);
}

AccountState judgeAccount(const RowStatus& status, std::int64_t now, std::uint32_t periodSeconds) {
    if (!status.opened)
        return AccountState::Unopened;
    return isOutdated(status.lastCopyTime, now, periodSeconds) ? AccountState::Outdated
                                                               : AccountState::Ok;
}

} // namespace kpv
