#pragma once
// The one judgement of an account's state after an update: the row marks, the tray, the
// outdated-backup warning, the alerts and kopiavakt-check all ask here and decide nothing
// themselves.
#include "status/account_rules.h"
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

// True for the states that raise the anomaly rules: emptied, shrunk, copies lost.
bool isAnomaly(AccountState state);

// The one rule for "outdated": more than the period (seconds) lies between the latest copy
// (seconds since 1970-01-01 UTC) and now. Exactly the period is not outdated, nor is a copy
// whose time lies in the future.
bool isOutdated(std::uint32_t lastCopyTime, std::int64_t now, std::uint32_t periodSeconds);

// The anomaly rules, as bits of AccountJudgement::raisedRules.
enum AnomalyRule : unsigned {
    SIZE_RULE = 1,   // the total size fell by more than the rule's percentage
    FILE_RULE = 2,   // the file count fell to 0, or by more than the percentage
    COPIES_RULE = 4, // the stored copies fell to 0 from more than 1, or by more than the %
};
inline constexpr AnomalyRule ANOMALY_RULES[3] = {SIZE_RULE, FILE_RULE, COPIES_RULE};
// "size", "files", "copies": the rule's name in machine-readable output.
const char* anomalyRuleName(AnomalyRule rule);

// The 3 days that hold when "Inställningar" stored no period.
inline constexpr std::uint32_t DEFAULT_PERIOD_SECONDS = 3 * 86400;

// Everything but the row that the judgement of one account depends on.
struct AccountContext {
    std::int64_t now = 0;                                       // seconds since 1970-01-01 UTC
    std::uint32_t globalPeriodSeconds = DEFAULT_PERIOD_SECONDS; // that of "Inställningar"
    AccountRules rules = {}; // the account's own rules (the defaults when it has none)
};

struct AccountJudgement {
    AccountState state = AccountState::Ok;
    unsigned raisedRules = 0; // the AnomalyRule bits that the latest copy raised, paused or not
};

// The account's own warning period when it has one, else the global one (seconds).
std::uint32_t accountPeriodSeconds(const AccountRules& rules, std::uint32_t globalPeriodSeconds);

// True while the account's pause lasts: until the clock reaches its end, or until a status
// opens with a latest copy other than the one it was paused at.
bool isSnoozed(const RowStatus& status, const AccountRules& rules, std::int64_t now);

// The anomaly rules the row's latest copy raises against `status.previous`: none for an
// unopened row, a first copy (previous unknown), or a copy no newer than the previous one.
unsigned raisedRules(const RowStatus& status, const AccountRules& rules);

// The state of one account: Snoozed while paused; else Unopened, Outdated by the account's
// own period (or the global one), then Emptied, Shrunk (size or files) and CopiesLost by the
// rules raised; else Ok.
AccountJudgement assessAccount(const RowStatus& status, const AccountContext& context);
AccountState judgeAccount(const RowStatus& status, const AccountContext& context);

// The same with the global period alone and default rules.
AccountState judgeAccount(const RowStatus& status, std::int64_t now, std::uint32_t periodSeconds);

} // namespace kpv
