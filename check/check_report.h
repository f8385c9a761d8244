#pragma once
// What one run of kopiavakt-check found: each account's values and state, and the state of the
// whole run, ready for any of the output formats.
#include "core/wiping_allocator.h"
#include "status/account_history.h"
#include "status/account_rules.h"
#include "status/account_state.h"
#include "status/status_row.h"

#include <cstdint>
#include <vector>

namespace kpv::check {

// The plugin convention's states; the values are the exit codes.
enum class CheckState : int { Ok = 0, Warning = 1, Critical = 2, Unknown = 3 };

struct AccountResult {
    StatusRow row;               // name (ANSI code page, zero-terminated) and id always
    bool opened = false;         // the status was in the reply and opened with the account's keys
    std::int64_t ageSeconds = 0; // now - lastCopyTime; negative for a time in the future
    CheckState state = CheckState::Critical;
    // By the client's own judgement, with the account's rules when the report has any.
    AccountJudgement judgement;
    std::uint32_t warningSeconds = 0; // the account's own periods (the report's without rules)
    std::uint32_t criticalSeconds = 0;
};

struct CheckReport {
    CheckState state = CheckState::Unknown;
    std::int64_t checkedAt = 0;       // seconds since 1970, UTC
    std::uint32_t warningSeconds = 0; // outdated when the age is strictly greater
    std::uint32_t criticalSeconds = 0;
    std::vector<AccountResult> accounts;
    WipingString error; // why the run is UNKNOWN; empty when the server answered
    // The client's rules and history, when it has them and they are not ignored: periods and
    // pauses per account, and the anomaly rules against each account's previous copy. Without
    // them the report and its formats are exactly those of the global period alone.
    bool withRules = false;
    RulesTable rules;
    AccountHistory history;
    bool criticalGiven = false; // --critical: one critical period for every account
};

// The state of one account: CRITICAL when its status did not open; otherwise by its age, with
// the client's rule (strictly older than the period; a future time is never outdated).
CheckState accountState(bool opened, std::int64_t ageSeconds, std::uint32_t warningSeconds,
                        std::uint32_t criticalSeconds);

// Fills each account's age and state from `report.checkedAt` and the periods, then the state
// of the whole: the worst account, UNKNOWN when there is an error or no account at all. With
// rules, an account's own period replaces the warning period (critical at twice it, unless
// --critical was given), a paused account is OK, and an anomaly makes it WARNING.
void judgeReport(CheckReport& report);

// "OK", "WARNING", "CRITICAL", "UNKNOWN".
const char* stateWord(CheckState state);
// "ok", "warning", "critical", "unknown".
const char* stateWordLower(CheckState state);

} // namespace kpv::check
