// The judgement of changes: one message per update that changes something, never one for an
// update that changes nothing, reminders on their own clock, and the memory across restarts.
#include "alerts/alert_judge.h"
#include "tests/support/temp_folder.h"

#include <doctest/doctest.h>

namespace kpv {
namespace {

constexpr std::int64_t START = 1800000000; // 2027-01-15
constexpr std::uint32_t DAY = 86400;
constexpr std::uint32_t PERIOD = 3 * DAY;

AlertRow row(std::uint32_t id, const char* name, std::int64_t lastCopy, bool opened = true) {
    return AlertRow{id, SecureBuffer::fromCString(name),
                    RowStatus{opened, static_cast<std::uint32_t>(lastCopy)}};
}

UpdateFacts update(std::int64_t now, std::vector<AlertRow> rows) {
    UpdateFacts facts;
    facts.now = now;
    facts.periodSeconds = PERIOD;
    facts.rows = std::move(rows);
    return facts;
}

UpdateFacts failed(std::int64_t now) {
    UpdateFacts facts = update(now, {});
    facts.exchangeFailed = true;
    return facts;
}

const AlertTiming TIMING{24, 24};

} // namespace

TEST_CASE("entering and leaving each state is told once, and all changes of one update together") {
    AlertJudge judge{AlertMemory{}};
    std::int64_t now = START;
    const std::int64_t fresh = START - 3600;

    // The first update with a channel reports what already needs attention, once.
    auto first = judge.judge(update(now, {row(1, "Ok", fresh), row(2, "Gammal", START - 5 * DAY),
                                          row(3, "L\xe5st", 0, false)}),
                             TIMING);
    REQUIRE(first);
    CHECK(first->event == AlertEvent::Attention);
    CHECK(first->needingAttention == 2);
    REQUIRE(first->accounts.size() == 2);
    CHECK(first->accounts[0].id == 2);
    CHECK(first->accounts[0].state == AccountState::Outdated);
    CHECK_FALSE(first->accounts[0].previousState);
    CHECK(first->accounts[1].name == "L\xc3\xa5st"); // Windows-1252 to UTF-8
    CHECK(first->accounts[1].state == AccountState::Unopened);
    CHECK_FALSE(judge.allWell());

    // The same states on the next tick: nothing.
    now += 600;
    CHECK_FALSE(judge.judge(update(now, {row(1, "Ok", fresh), row(2, "Gammal", START - 5 * DAY),
                                         row(3, "L\xe5st", 0, false)}),
                            TIMING));

    // Fifty accounts going stale at once make one message listing each.
    std::vector<AlertRow> many{row(2, "Gammal", START - 5 * DAY), row(3, "L\xe5st", 0, false)};
    for (std::uint32_t id = 100; id < 150; ++id)
        many.push_back(row(id, "Ny", now - 3600));
    CHECK_FALSE(judge.judge(update(now, many), TIMING)); // new and fresh: only remembered
    for (auto& entry : many)
        if (entry.id >= 100)
            entry.status.lastCopyTime = static_cast<std::uint32_t>(now - 4 * DAY);
    now += 600;
    auto stale = judge.judge(update(now, many), TIMING);
    REQUIRE(stale);
    CHECK(stale->event == AlertEvent::Attention);
    CHECK(stale->accounts.size() == 50);
    CHECK(stale->needingAttention == 52);
    CHECK(stale->accounts[0].previousState == AccountState::Ok);

    // Every account fresh again: one "recovered", and only then the ping's moment.
    for (auto& entry : many)
        entry.status = RowStatus{true, static_cast<std::uint32_t>(now)};
    now += 600;
    auto back = judge.judge(update(now, many), TIMING);
    REQUIRE(back);
    CHECK(back->event == AlertEvent::Recovered);
    CHECK(back->accounts.size() == 52);
    CHECK(back->needingAttention == 0);
    CHECK(back->summary == ALL_WELL_SUMMARY);
    CHECK(judge.allWell());
}

TEST_CASE("an account's own rules decide its alerts: its own period, a pause, an anomaly") {
    AlertJudge judge{AlertMemory{}};
    const std::int64_t tenDaysOld = START - 10 * DAY;
    UpdateFacts facts = update(START, {row(1, "Laptop", tenDaysOld), row(2, "Kontor", tenDaysOld)});
    AccountRules laptop;
    laptop.periodDays = 14;
    facts.rules.set(1, laptop);
    AccountRules paused;
    paused.snooze = SnoozeKind::UntilTime;
    paused.snoozeUntil = static_cast<std::uint32_t>(START + DAY);
    facts.rules.set(2, paused);
    CHECK_FALSE(judge.judge(facts, TIMING)); // 14 days not passed; the other one paused
    CHECK(judge.allWell());

    // The pause ends by the clock: the office account is told, with the global period.
    facts.now = START + 2 * DAY;
    auto late = judge.judge(facts, TIMING);
    REQUIRE(late);
    REQUIRE(late->accounts.size() == 1);
    CHECK(late->accounts[0].id == 2);
    CHECK(late->accounts[0].state == AccountState::Outdated);
    CHECK(late->accounts[0].periodSeconds == PERIOD);

    // A new copy of the laptop at a tenth of the size: an anomaly, told like any attention.
    AlertRow shrunk = row(1, "Laptop", facts.now - 3600);
    shrunk.status.totalSize = 100;
    shrunk.status.fileCount = 10;
    shrunk.status.storedCopies = 5;
    shrunk.status.previous = {true, static_cast<std::uint32_t>(tenDaysOld), 10, 1000, 5};
    facts.rows[0] = std::move(shrunk);
    facts.now += 600;
    auto anomaly = judge.judge(facts, TIMING);
    REQUIRE(anomaly);
    REQUIRE(anomaly->accounts.size() == 1);
    CHECK(anomaly->accounts[0].state == AccountState::Shrunk);
    CHECK(anomaly->accounts[0].periodSeconds == 14 * DAY);
}

TEST_CASE("no contact for NoContactHours is told once, and answering again is a recovery") {
    AlertJudge judge{AlertMemory{}};
    const std::int64_t fresh = START - 60;
    CHECK_FALSE(judge.judge(update(START, {row(1, "A", fresh)}), TIMING));
    CHECK(judge.allWell());

    CHECK_FALSE(judge.judge(failed(START + 600), TIMING));
    CHECK_FALSE(judge.allWell());
    CHECK_FALSE(judge.judge(failed(START + 24 * 3600 - 1), TIMING));
    auto lost = judge.judge(failed(START + 24 * 3600), TIMING);
    REQUIRE(lost);
    CHECK(lost->event == AlertEvent::Attention);
    CHECK(lost->noContactSince == START);
    CHECK(lost->accounts.empty());
    CHECK_FALSE(judge.judge(failed(START + 24 * 3600 + 600), TIMING));

    auto back = judge.judge(update(START + 25 * 3600, {row(1, "A", START + 25 * 3600)}), TIMING);
    REQUIRE(back);
    CHECK(back->event == AlertEvent::Recovered);
    CHECK(back->noContactSince == 0);
}

TEST_CASE("reminders come every ReminderHours while something needs attention, never sooner") {
    AlertJudge judge{AlertMemory{}};
    const std::vector<AlertRow> rows{row(1, "A", START - 5 * DAY), row(2, "B", START)};
    REQUIRE(judge.judge(update(START, rows), TIMING));
    int reminders = 0;
    // A timer every ten minutes for two days and a bit, with a manual update in between.
    for (std::int64_t now = START + 600; now <= START + 49 * 3600; now += 600) {
        for (std::int64_t at : {now, now + 5}) {
            auto sent = judge.judge(update(at, rows), TIMING);
            if (sent) {
                CHECK(sent->event == AlertEvent::Reminder);
                REQUIRE(sent->accounts.size() == 1);
                CHECK(sent->accounts[0].id == 1);
                ++reminders;
            }
        }
    }
    CHECK(reminders == 2);

    AlertJudge never{AlertMemory{}};
    REQUIRE(never.judge(update(START, rows), AlertTiming{0, 24}));
    const std::int64_t later = START + 30 * 86400;
    CHECK_FALSE(never.judge(update(later, {row(1, "A", START - 5 * DAY), row(2, "B", later)}),
                            AlertTiming{0, 24}));
}

TEST_CASE("alert_state.bin keeps what was reported, so a restart repeats nothing") {
    test::TempFolder folder;
    AlertMemory none;
    CHECK_FALSE(loadAlertMemory(none));

    AlertJudge before{AlertMemory{}};
    const std::vector<AlertRow> rows{row(7, "A", START - 5 * DAY), row(8, "B", 0, false)};
    REQUIRE(before.judge(update(START, rows), TIMING));
    REQUIRE(saveAlertMemory(before.memory()));

    AlertMemory loaded;
    REQUIRE(loadAlertMemory(loaded));
    CHECK(loaded.states == before.memory().states);
    CHECK(loaded.lastAttentionSent == START);
    AlertJudge after{loaded};
    CHECK_FALSE(after.judge(update(START + 600, rows), TIMING));

    // Every shortened file and a state name nobody knows read as no memory at all.
    RecordStream whole = writeAlertMemory(before.memory());
    for (std::uint32_t cut = 0; cut < whole.length(); ++cut) {
        RecordStream part(whole.contents.slice(0, cut));
        AlertMemory read;
        CHECK_FALSE(readAlertMemory(part, read));
    }
    AlertMemory odd;
    odd.states[1] = AccountState::Ok;
    RecordStream renamed = writeAlertMemory(odd);
    renamed.contents.at(renamed.length() - 1) = 'x'; // "ok" -> "ox"
    CHECK_FALSE(readAlertMemory(renamed, odd));
}

} // namespace kpv
