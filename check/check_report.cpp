#include "check/check_report.h"

namespace kpv::check {

namespace {

// The status the client's judgement sees: the reply's values and, with a history, the copy
// before the latest one.
RowStatus judgedStatus(const CheckReport& report, const StatusRow& row) {
    RowStatus status = rowStatusOf(row);
    if (report.withRules)
        status.previous = report.history.previousCopyOf(row.accountId, status);
    return status;
}

CheckState stateFor(const AccountResult& account) {
    switch (account.judgement.state) {
    case AccountState::Snoozed:
        return CheckState::Ok;
    case AccountState::Ok:
        break;
    default:
        if (isAnomaly(account.judgement.state))
            return CheckState::Warning;
        break;
    }
    return accountState(account.row.opened, account.ageSeconds, account.warningSeconds,
                        account.criticalSeconds);
}

} // namespace

// The client's outdated rule on the age alone: a copy made at time 0, seen at `ageSeconds`.
CheckState accountState(bool opened, std::int64_t ageSeconds, std::uint32_t warningSeconds,
                        std::uint32_t criticalSeconds) {
    if (!opened || isOutdated(0, ageSeconds, criticalSeconds))
        return CheckState::Critical;
    if (isOutdated(0, ageSeconds, warningSeconds))
        return CheckState::Warning;
    return CheckState::Ok;
}

void judgeReport(CheckReport& report) {
    CheckState worst = CheckState::Ok;
    for (AccountResult& account : report.accounts) {
        account.ageSeconds =
            account.row.opened ? report.checkedAt - std::int64_t(account.row.lastCopyTime) : 0;
        AccountContext context;
        context.now = report.checkedAt;
        context.globalPeriodSeconds = report.warningSeconds;
        if (report.withRules)
            context.rules = report.rules.rulesOf(account.row.accountId);
        account.judgement = assessAccount(judgedStatus(report, account.row), context);
        account.warningSeconds = accountPeriodSeconds(context.rules, report.warningSeconds);
        account.criticalSeconds = report.criticalSeconds;
        if (context.rules.periodDays != 0 && !report.criticalGiven)
            account.criticalSeconds = 2 * account.warningSeconds;
        if (account.criticalSeconds < account.warningSeconds)
            account.criticalSeconds = account.warningSeconds;
        account.state = stateFor(account);
        if (static_cast<int>(account.state) > static_cast<int>(worst))
            worst = account.state;
    }
    if (!report.error.empty()) {
        report.accounts.clear();
        worst = CheckState::Unknown;
    } else if (report.accounts.empty()) {
        report.error = "the account list holds no account to check";
        worst = CheckState::Unknown;
    }
    report.state = worst;
}

const char* stateWord(CheckState state) {
    switch (state) {
    case CheckState::Ok:
        return "OK";
    case CheckState::Warning:
        return "WARNING";
    case CheckState::Critical:
        return "CRITICAL";
    case CheckState::Unknown:
        break;
    }
    return "UNKNOWN";
}

const char* stateWordLower(CheckState state) {
    switch (state) {
    case CheckState::Ok:
        return "ok";
    case CheckState::Warning:
        return "warning";
    case CheckState::Critical:
        return "critical";
    case CheckState::Unknown:
        break;
    }
    return "unknown";
}

} // namespace kpv::check
