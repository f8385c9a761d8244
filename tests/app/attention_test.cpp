#include "app/attention.h"
#include "tests/support/time_zone.h"

#include <string>

#include <doctest/doctest.h>

using namespace kpv;

namespace {

constexpr std::int64_t NOW = 1800000000; // 2027-01-15 08:00 UTC, 09:00 in the zone used below
constexpr std::uint32_t DAY = 86400;

RowStatus copiedAt(std::int64_t time) {
    return RowStatus{true, static_cast<std::uint32_t>(time)};
}

} // namespace

TEST_CASE("a row is marked by the warning's own rule, and marked again for a new period") {
    CHECK(rowMark(copiedAt(NOW - 3 * DAY), NOW, 3 * DAY) == RowMark::Current);
    CHECK(rowMark(copiedAt(NOW - 3 * DAY - 1), NOW, 3 * DAY) == RowMark::Outdated);
    CHECK(rowMark(copiedAt(NOW + 5 * DAY), NOW, DAY) == RowMark::Current);
    CHECK(rowMark(copiedAt(0), NOW, 15 * DAY) == RowMark::Outdated);
    CHECK(rowMark(RowStatus{false, 0}, NOW, 15 * DAY) == RowMark::Unopened);
    CHECK(rowMark(RowStatus{false, static_cast<std::uint32_t>(NOW)}, NOW, DAY) ==
          RowMark::Unopened);

    AttentionBoard board;
    board.updateStarting();
    board.addRow(7, copiedAt(NOW - 3600));
    board.addRow(300, copiedAt(NOW - 10 * DAY));
    board.updateFinished(true, NOW);
    board.remark(NOW, 3 * DAY);
    CHECK(board.markOf(7) == RowMark::Current);
    CHECK(board.markOf(300) == RowMark::Outdated);
    CHECK(board.markOf(99) == RowMark::Current);
    CHECK(board.trayState() == TrayState::NeedsAttention);
    CHECK(board.trayLine() == "1 konto har en föråldrad kopia");
    CHECK(trayTooltip(board.trayLine()) == "Kopiavakt\n1 konto har en föråldrad kopia");

    board.remark(NOW, 15 * DAY); // a longer period, no new exchange
    CHECK(board.markOf(300) == RowMark::Current);
    CHECK(board.trayState() == TrayState::AllWell);
    CHECK(trayTooltip(board.trayLine()) == "Kopiavakt");
}

TEST_CASE("the tray line counts outdated and unopened accounts") {
    AttentionBoard board;
    board.addRow(1, copiedAt(NOW - 4 * DAY));
    board.addRow(2, copiedAt(NOW - 5 * DAY));
    board.remark(NOW, 3 * DAY);
    CHECK(board.trayLine() == "2 konton har föråldrade kopior");
    board.addRow(3, RowStatus{});
    board.remark(NOW, 3 * DAY);
    CHECK(board.markOf(3) == RowMark::Unopened);
    CHECK(board.trayLine() == "2 konton har föråldrade kopior, 1 kunde inte läsas");
    board.clearRows();
    board.addRow(3, RowStatus{});
    board.remark(NOW, 3 * DAY);
    CHECK(board.trayLine() == "1 konto kunde inte läsas");
}

TEST_CASE("no contact: since the last contact, kept through refused updates, ended by a reply") {
    test::setTimeZone("CET-1");
    AttentionBoard board;
    board.addRow(1, copiedAt(NOW - 60));
    board.updateStarting();
    board.updateFinished(true, NOW - 600); // contact at 08:50 local time
    board.clearRows();

    board.updateStarting(); // a manual update fails...
    board.exchangeFailed(NOW);
    board.updateStarting(); // ...and the timer's update, inside its message box, is refused
    board.updateFinished(false, NOW + 60);
    board.remark(NOW + 60, 3 * DAY);
    CHECK(board.trayState() == TrayState::NoContact);
    board.updateFinished(true, NOW + 120);
    board.remark(NOW + 120, 3 * DAY);
    CHECK(board.trayState() == TrayState::NoContact);
    CHECK(board.trayLine() == "Ingen kontakt med servern sedan 08:50");

    board.updateStarting(); // still failing a day later: the date is shown
    board.exchangeFailed(NOW + DAY);
    board.updateFinished(true, NOW + DAY);
    board.remark(NOW + DAY, 3 * DAY);
    CHECK(board.trayLine() == "Ingen kontakt med servern sedan 2027-01-15 08:50");

    board.updateStarting();
    board.addRow(1, copiedAt(NOW));
    board.updateFinished(true, NOW + DAY);
    board.remark(NOW + DAY, 3 * DAY);
    CHECK(board.trayState() == TrayState::AllWell);

    board.updateStarting(); // failing again, then the last account is removed
    board.exchangeFailed(NOW + 2 * DAY);
    board.updateFinished(true, NOW + 2 * DAY);
    board.clearRows();
    board.updateStarting();
    board.updateFinished(false, NOW + 2 * DAY + 60);
    board.remark(NOW + 2 * DAY + 60, 3 * DAY);
    CHECK(board.trayState() == TrayState::AllWell);
    CHECK(board.trayLine().empty());

    AttentionBoard never; // no contact since the start: the first failure's time
    never.updateStarting();
    never.exchangeFailed(0);
    never.updateFinished(true, 0);
    never.remark(0, 3 * DAY);
    CHECK(never.trayLine() == "Ingen kontakt med servern sedan 01:00");
}

TEST_CASE("anomalies and pauses: their own marks, counted in the tray line, states in words") {
    RowStatus shrunk = copiedAt(NOW - 60);
    shrunk.totalSize = 100;
    shrunk.fileCount = 10;
    shrunk.storedCopies = 5;
    shrunk.previous = {true, static_cast<std::uint32_t>(NOW - DAY), 10, 1000, 5};
    AttentionBoard board;
    board.addRow(1, shrunk);
    board.remark(NOW, 3 * DAY);
    CHECK(board.markOf(1) == RowMark::Anomaly);
    CHECK(board.stateOf(1) == AccountState::Shrunk);
    CHECK(board.trayState() == TrayState::NeedsAttention);
    CHECK(board.trayLine() == "1 konto har en avvikande kopia");
    CHECK(std::string(stateText(board.stateOf(1))) == "Avvikelse: kopian har krympt");

    board.addRow(2, shrunk);
    board.addRow(3, copiedAt(NOW - 4 * DAY));
    board.remark(NOW, 3 * DAY);
    CHECK(board.trayLine() == "1 konto har en föråldrad kopia, 2 avviker");

    RulesTable rules;
    AccountRules paused;
    paused.snooze = SnoozeKind::UntilNewCopy;
    paused.snoozeCopyTime = static_cast<std::uint32_t>(NOW - 4 * DAY);
    rules.set(3, paused);
    AccountRules ownPeriod;
    ownPeriod.periodDays = 14;
    ownPeriod.sizeRule = false;
    rules.set(2, ownPeriod);
    board.remark(NOW, 3 * DAY, rules);
    CHECK(board.markOf(3) == RowMark::Snoozed);
    CHECK(board.markOf(2) == RowMark::Current);
    CHECK(board.trayLine() == "1 konto har en avvikande kopia");
    board.clearRows();
    board.addRow(1, copiedAt(NOW));
    board.addRow(2, copiedAt(NOW));
    board.addRow(4, shrunk);
    board.addRow(5, shrunk);
    board.remark(NOW, 3 * DAY);
    CHECK(board.trayLine() == "2 konton har avvikande kopior");
    CHECK(std::string(stateText(AccountState::Snoozed)) == "Varningar pausade");
}

TEST_CASE("a failed alert delivery shows in the tray line, never in the alert's own summary") {
    AttentionBoard board;
    board.updateStarting();
    board.updateFinished(true, 1000);
    board.remark(1000, 86400);
    board.setDeliveryFailed(true);
    CHECK(board.trayLine() == "Aviseringen kunde inte skickas");
    CHECK(board.summaryLine().empty());
    board.addRow(7, RowStatus{false, 0});
    board.remark(1000, 86400);
    CHECK(board.trayLine() == "1 konto kunde inte läsas (avisering ej skickad)");
    CHECK(board.summaryLine() == "1 konto kunde inte läsas");
    board.setDeliveryFailed(false);
    CHECK(board.trayLine() == "1 konto kunde inte läsas");
}
