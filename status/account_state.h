#pragma once
// The one judgement of an account's state after an update: the row marks, the tray, the
// outdated-backup warning, the alerts and kopiavakt-check all ask here and decide nothing
// themselves.
#include "status/status_view.h"

#include <cstdint>

namespace kpv {

// Graver first: a row shows, and a summary counts, the gravest state that applies.
enum class AccountState { Unopened, Outdated, Emptied, Shrunk, CopiesLost, Ok, Snoozed };

// The state's name in machine-readable output: "unopened", "outdated", "emptied", "shrunk",
// "copies_lost", "ok", "snoozed".
const char* accountStateName(AccountState state);

// True for the states the user must be told of: all graver than Ok.
bool needsAttention(AccountState state);

// The one rule for "outdated": more than the period (seconds) lies between the latest copy
// (seconds since 1970-01-01 UTC) and now. Exactly the period is not outdated, nor is a copy
// whose time lies in the future.
bool isOutdated(std::uint32_t lastCopyTime, std::int64_t now, std::uint32_t periodSeconds);

// The state of one account from its row status. now: seconds since 1970-01-01 UTC.
AccountState judgeAccount(const RowStatus& status, std::int64_t now, std::uint32_t periodSeconds);

} // namespace kpv
