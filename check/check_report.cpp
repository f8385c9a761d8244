#include "check/check_report.h"

namespace kpv::check {

CheckState accountState(bool opened, std::int64_t ageSeconds, std::uint32_t warningSeconds,
                        std::uint32_t criticalSeconds) {
    if (!opened || ageSeconds > std::int64_t(criticalSeconds))
        return CheckState::Critical;
    if (ageSeconds > std::int64_t(warningSeconds))
        return CheckState::Warning;
    return CheckState::Ok;
}

void judgeReport(CheckReport& report) {
    CheckState worst = CheckState::Ok;
    for (AccountResult& account : report.accounts) {
        account.ageSeconds =
            account.row.opened ? report.checkedAt - std::int64_t(account.row.lastCopyTime) : 0;
        account.state = accountState(account.row.opened, account.ageSeconds, report.warningSeconds,
                                     report.criticalSeconds);
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
