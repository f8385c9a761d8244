#include "status/account_state.h"

#include <doctest/doctest.h>

#include <string>

using namespace kpv;

namespace {

constexpr std::int64_t NOW = 1800000000;
constexpr std::uint32_t DAY = 86400;
constexpr std::uint32_t GLOBAL = 3 * DAY;
constexpr std::uint32_t FRESH = NOW - 3600;
constexpr std::uint32_t BEFORE = NOW - 2 * DAY;

// A fresh copy of 1000 files, 10000 bytes and 30 stored copies unless changed.
RowStatus copy(std::uint32_t files = 1000, std::uint64_t size = 10000, std::uint32_t stored = 30,
               std::uint32_t at = FRESH) {
    RowStatus status;
    status.opened = true;
    status.lastCopyTime = at;
    status.fileCount = files;
    status.totalSize = size;
    status.storedCopies = stored;
    return status;
}

// The same copy compared with an earlier one of 1000 files, 10000 bytes, 30 stored copies.
RowStatus after(RowStatus status, std::uint32_t files = 1000, std::uint64_t size = 10000,
                std::uint32_t stored = 30) {
    status.previous = {true, BEFORE, files, size, stored};
    return status;
}

AccountRules withPeriod(std::uint16_t days) {
    AccountRules rules;
    rules.periodDays = days;
    return rules;
}

AccountRules snoozed(SnoozeKind kind, std::uint32_t value) {
    AccountRules rules;
    rules.snooze = kind;
    (kind == SnoozeKind::UntilTime ? rules.snoozeUntil : rules.snoozeCopyTime) = value;
    return rules;
}

AccountRules threshold(std::uint16_t size, std::uint16_t files, std::uint16_t copies) {
    AccountRules rules;
    rules.sizeDropPercent = size;
    rules.fileDropPercent = files;
    rules.copiesDropPercent = copies;
    return rules;
}

AccountRules rulesOff() {
    AccountRules rules;
    rules.sizeRule = rules.fileRule = rules.copiesRule = false;
    return rules;
}

struct Case {
    const char* what;
    RowStatus status;
    AccountRules rules;
    AccountState state;
    unsigned raised;
};

} // namespace

TEST_CASE("the judgement: every state, each rule at and just past its threshold") {
    const RowStatus unopened{};
    const Case cases[] = {
        {"fresh, no history", copy(), {}, AccountState::Ok, 0},
        {"a first reply never raises", copy(0, 0, 0), {}, AccountState::Ok, 0},
        {"unopened", unopened, {}, AccountState::Unopened, 0},
        {"global period, exactly", copy(1, 1, 1, NOW - GLOBAL), {}, AccountState::Ok, 0},
        {"global period, past", copy(1, 1, 1, NOW - GLOBAL - 1), {}, AccountState::Outdated, 0},
        {"own 14 days hold a 10-day copy", copy(1, 1, 1, NOW - 10 * DAY), withPeriod(14),
         AccountState::Ok, 0},
        {"own 14 days, just past", copy(1, 1, 1, NOW - 14 * DAY - 1), withPeriod(14),
         AccountState::Outdated, 0},
        {"own 1 day is shorter than the global", copy(1, 1, 1, NOW - DAY - 1), withPeriod(1),
         AccountState::Outdated, 0},
        {"a future copy is not outdated", copy(1, 1, 1, NOW + DAY), {}, AccountState::Ok, 0},
        {"size 50 % below: not more", after(copy(1000, 5000)), {}, AccountState::Ok, 0},
        {"size just past 50 %", after(copy(1000, 4999)), {}, AccountState::Shrunk, SIZE_RULE},
        {"size 90 % smaller", after(copy(1000, 1000)), {}, AccountState::Shrunk, SIZE_RULE},
        {"size grew", after(copy(1000, 20000)), {}, AccountState::Ok, 0},
        {"size at an own 80 %", after(copy(1000, 2000)), threshold(80, 50, 50), AccountState::Ok,
         0},
        {"size past an own 80 %", after(copy(1000, 1999)), threshold(80, 50, 50),
         AccountState::Shrunk, SIZE_RULE},
        {"huge sizes do not overflow",
         after(copy(1000, UINT64_MAX / 2), 1000, UINT64_MAX),
         {},
         AccountState::Shrunk,
         SIZE_RULE},
        {"files 50 % below: not more", after(copy(500)), {}, AccountState::Ok, 0},
        {"files just past 50 %", after(copy(499)), {}, AccountState::Shrunk, FILE_RULE},
        {"files to 0", after(copy(0, 0)), {}, AccountState::Emptied, FILE_RULE | SIZE_RULE},
        {"files 0 and 0 before", after(copy(0), 0), {}, AccountState::Ok, 0},
        {"stored copies halved: not more", after(copy(1000, 10000, 15)), {}, AccountState::Ok, 0},
        {"stored copies just past half",
         after(copy(1000, 10000, 14)),
         {},
         AccountState::CopiesLost,
         COPIES_RULE},
        {"stored copies 2 to 0", after(copy(1000, 10000, 0), 1000, 10000, 2), threshold(50, 50, 99),
         AccountState::CopiesLost, COPIES_RULE},
        {"stored copies 1 to 0 at 99 %", after(copy(1000, 10000, 0), 1000, 10000, 1),
         threshold(50, 50, 99), AccountState::CopiesLost, COPIES_RULE},
        {"rules switched off", after(copy(0, 0, 0)), rulesOff(), AccountState::Ok, 0},
        {"the same copy is not a new one",
         [] {
             RowStatus s = after(copy(0, 0, 0));
             s.previous.lastCopyTime = s.lastCopyTime;
             return s;
         }(),
         {},
         AccountState::Ok,
         0},
        {"outdated is graver than an anomaly",
         after(copy(0, 0, 0, NOW - 5 * DAY)),
         {},
         AccountState::Outdated,
         SIZE_RULE | FILE_RULE | COPIES_RULE},
        {"emptied is graver than shrunk and copies lost",
         after(copy(0, 0, 0)),
         {},
         AccountState::Emptied,
         SIZE_RULE | FILE_RULE | COPIES_RULE},
        {"paused until a time", after(copy(0, 0, 0, 1)), snoozed(SnoozeKind::UntilTime, NOW + 1),
         AccountState::Snoozed, SIZE_RULE | FILE_RULE | COPIES_RULE},
        {"a pause ended by the clock", copy(1, 1, 1, 1), snoozed(SnoozeKind::UntilTime, NOW),
         AccountState::Outdated, 0},
        {"paused until a new copy", copy(1, 1, 1, 5), snoozed(SnoozeKind::UntilNewCopy, 5),
         AccountState::Snoozed, 0},
        {"paused, the status did not open", unopened, snoozed(SnoozeKind::UntilNewCopy, 5),
         AccountState::Snoozed, 0},
        {"a pause ended by a new copy", copy(1, 1, 1, 6), snoozed(SnoozeKind::UntilNewCopy, 5),
         AccountState::Outdated, 0},
    };
    for (const Case& c : cases) {
        CAPTURE(std::string(c.what));
        AccountContext context;
        context.now = NOW;
        context.globalPeriodSeconds = GLOBAL;
        context.rules = c.rules;
        const AccountJudgement judgement = assessAccount(c.status, context);
        CHECK(judgement.state == c.state);
        CHECK(judgement.raisedRules == c.raised);
        CHECK(judgeAccount(c.status, context) == c.state);
    }
    // The form without rules is the global period alone.
    CHECK(judgeAccount(copy(1, 1, 1, NOW - GLOBAL - 1), NOW, GLOBAL) == AccountState::Outdated);
    CHECK(judgeAccount(copy(1, 1, 1, NOW - GLOBAL), NOW, GLOBAL) == AccountState::Ok);
}

TEST_CASE("state names and which states want attention") {
    const char* names[] = {"unopened",    "outdated", "emptied", "shrunk",
                           "copies_lost", "ok",       "snoozed"};
    for (int i = 0; i <= static_cast<int>(AccountState::Snoozed); ++i) {
        const auto state = static_cast<AccountState>(i);
        CHECK(std::string(accountStateName(state)) == names[i]);
        CHECK(needsAttention(state) == (i < static_cast<int>(AccountState::Ok)));
        CHECK(isAnomaly(state) == (i >= 2 && i <= 4));
    }
    CHECK(std::string(anomalyRuleName(SIZE_RULE)) == "size");
    CHECK(std::string(anomalyRuleName(FILE_RULE)) == "files");
    CHECK(std::string(anomalyRuleName(COPIES_RULE)) == "copies");
}
