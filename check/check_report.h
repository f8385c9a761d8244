#pragma once
// What one run of kopiavakt-check found: each account's values and state, and the state of the
// whole run, ready for any of the output formats.
#include "core/wiping_allocator.h"
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
};

struct CheckReport {
    CheckState state = CheckState::Unknown;
    std::int64_t checkedAt = 0;       // seconds since 1970, UTC
    std::uint32_t warningSeconds = 0; // outdated when the age is strictly greater
    std::uint32_t criticalSeconds = 0;
    std::vector<AccountResult> accounts;
    WipingString error; // why the run is UNKNOWN; empty when the server answered
};

// The state of one account: CRITICAL when its status did not open; otherwise by its age, with
// the client's rule (strictly older than the period; a future time is never outdated).
CheckState accountState(bool opened, std::int64_t ageSeconds, std::uint32_t warningSeconds,
                        std::uint32_t criticalSeconds);

// Fills each account's age and state from `report.checkedAt` and the periods, then the state
// of the whole: the worst account, UNKNOWN when there is an error or no account at all.
void judgeReport(CheckReport& report);

// "OK", "WARNING", "CRITICAL", "UNKNOWN".
const char* stateWord(CheckState state);
// "ok", "warning", "critical", "unknown".
const char* stateWordLower(CheckState state);

} // namespace kpv::check
