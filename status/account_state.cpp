#include "status/account_state.h"

namespace kpv {
namespace {

__extension__ typedef unsigned __int128 WideProduct;

constexpr std::uint32_t SECONDS_PER_DAY = 86400;

// True when `now` lies more than `percent` per cent below `before`, exactly and without
// overflow for any two 64-bit values.
bool fellByMoreThan(std::uint64_t before, std::uint64_t now, std::uint16_t percent) {
    if (now >= before)
        return false;
    return WideProduct(before - now) * 100u > WideProduct(before) * percent;
}

} // namespace

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

bool isAnomaly(AccountState state) {
    return state == AccountState::Emptied || state == AccountState::Shrunk ||
           state == AccountState::CopiesLost;
}

bool isOutdated(std::uint32_t lastCopyTime, std::int64_t now, std::uint32_t periodSeconds) {
    return now - std::int64_t(lastCopyTime) > std::int64_t(periodSeconds);
}

const char* anomalyRuleName(AnomalyRule rule) {
    switch (rule) {
    case SIZE_RULE:
        return "size";
    case FILE_RULE:
        return "files";
    case COPIES_RULE:
        return "copies";
    }
    return "size";
}

std::uint32_t accountPeriodSeconds(const AccountRules& rules, std::uint32_t globalPeriodSeconds) {
    return rules.periodDays != 0 ? std::uint32_t(rules.periodDays) * SECONDS_PER_DAY
                                 : globalPeriodSeconds;
}

bool isSnoozed(const RowStatus& status, const AccountRules& rules, std::int64_t now) {
    switch (rules.snooze) {
    case SnoozeKind::None:
        return false;
    case SnoozeKind::UntilTime:
        return now < std::int64_t(rules.snoozeUntil);
    case SnoozeKind::UntilNewCopy:
        // A status that does not open shows no new copy: the pause goes on.
        return !status.opened || status.lastCopyTime == rules.snoozeCopyTime;
    }
    return false;
}

unsigned raisedRules(const RowStatus& status, const AccountRules& rules) {
    const PreviousCopy& before = status.previous;
    if (!status.opened || !before.known || status.lastCopyTime == before.lastCopyTime)
        return 0;
    unsigned raised = 0;
    if (rules.sizeRule && fellByMoreThan(before.totalSize, status.totalSize, rules.sizeDropPercent))
        raised |= SIZE_RULE;
    if (rules.fileRule &&
        ((status.fileCount == 0 && before.fileCount != 0) ||
         fellByMoreThan(before.fileCount, status.fileCount, rules.fileDropPercent)))
        raised |= FILE_RULE;
    if (rules.copiesRule &&
        ((status.storedCopies == 0 && before.storedCopies > 1) ||
         fellByMoreThan(before.storedCopies, status.storedCopies, rules.copiesDropPercent)))
        raised |= COPIES_RULE;
    return raised;
}

AccountJudgement assessAccount(const RowStatus& status, const AccountContext& context) {
    AccountJudgement judgement;
    judgement.raisedRules = raisedRules(status, context.rules);
    if (isSnoozed(status, context.rules, context.now))
        judgement.state = AccountState::Snoozed;
    else if (!status.opened)
        judgement.state = AccountState::Unopened;
    else if (isOutdated(status.lastCopyTime, context.now,
                        accountPeriodSeconds(context.rules, context.globalPeriodSeconds)))
        judgement.state = AccountState::Outdated;
    else if ((judgement.raisedRules & FILE_RULE) != 0 && status.fileCount == 0)
        judgement.state = AccountState::Emptied;
    else if ((judgement.raisedRules & (SIZE_RULE | FILE_RULE)) != 0)
        judgement.state = AccountState::Shrunk;
    else if ((judgement.raisedRules & COPIES_RULE) != 0)
        judgement.state = AccountState::CopiesLost;
    return judgement;
}

AccountState judgeAccount(const RowStatus& status, const AccountContext& context) {
    return assessAccount(status, context).state;
}

AccountState judgeAccount(const RowStatus& status, std::int64_t now, std::uint32_t periodSeconds) {
    AccountContext context;
    context.now = now;
    context.globalPeriodSeconds = periodSeconds;
    return judgeAccount(status, context);
}

} // namespace kpv
