#include "app/outdated_check.h"
#include "app/settings.h"
#include "core/data_file.h"
#include "status/account_rules.h"
#include "tests/app/client_fixture.h"

#include <doctest/doctest.h>

using namespace kpv;
using Bytes = std::vector<std::uint8_t>;

namespace {

constexpr std::int64_t NOW = 1800000000;
const std::string WARNING =
    "Varning! Minst en säkerhetskopia är föråldrad och har inte uppdaterats! Avsluta "
    "programmet för att stäng av automatiska kontroller, eller ändra tiden för varningar.";

void writeTimes(std::uint16_t count, const std::vector<std::uint32_t>& times) {
    RecordStream content;
    content.appendU16(count);
    for (std::uint32_t t : times)
        content.appendU32(t);
    REQUIRE(saveDataFile("time_list.bin", content));
}

void writeDays(std::uint16_t days) {
    saveWarningDays(days);
}

std::uint32_t ago(std::int64_t seconds) {
    return static_cast<std::uint32_t>(NOW - seconds);
}

} // namespace

TEST_CASE("the default period is three days, and equal to the period is not outdated") {
    test::ClientFixture f(NOW);
    writeTimes(1, {ago(259200)});
    checkOutdated(f.client);
    CHECK(f.ui.messages.empty());

    writeTimes(1, {ago(259201)});
    checkOutdated(f.client);
    CHECK(f.ui.messageTexts() == std::vector<std::string>{WARNING});
    CHECK(f.ui.messages[0].kind == MessageKind::Error);
    CHECK(f.ui.windowShown == 1);
    CHECK_FALSE(f.client.warningShown);
}

TEST_CASE("a stored period is used as it stands, dialog value or not") {
    test::ClientFixture f(NOW);
    writeDays(1);
    writeTimes(1, {ago(86400)});
    checkOutdated(f.client);
    CHECK(f.ui.messages.empty());
    writeTimes(1, {ago(86401)});
    checkOutdated(f.client);
    CHECK(f.ui.messages.size() == 1);

    writeDays(4);
    writeTimes(1, {ago(4 * 86400)});
    checkOutdated(f.client);
    CHECK(f.ui.messages.size() == 1);
    writeTimes(1, {ago(4 * 86400 + 1)});
    checkOutdated(f.client);
    CHECK(f.ui.messages.size() == 2);
}

TEST_CASE("missing entries count as outdated, future times do not") {
    test::ClientFixture f(NOW);
    writeTimes(3, {ago(10), ago(20)});
    checkOutdated(f.client);
    CHECK(f.ui.messages.size() == 1);

    writeTimes(1, {ago(-1000)});
    checkOutdated(f.client);
    CHECK(f.ui.messages.size() == 1);

    writeTimes(0, {ago(999999)});
    checkOutdated(f.client);
    CHECK(f.ui.messages.size() == 1);

    std::filesystem::remove("time_list.bin");
    checkOutdated(f.client);
    CHECK(f.ui.messages.size() == 1);

    test::writeFileBytes("time_list.bin", {9, 0, 0, 0, 1, 0}); // does not load
    checkOutdated(f.client);
    CHECK(f.ui.messages.size() == 1);
}

TEST_CASE("two outdated accounts give one box, and none while a box is open") {
    test::ClientFixture f(NOW);
    writeTimes(2, {1, 2});
    int nested = 0;
    f.ui.whileMessageOpen = [&](const std::string&) {
        if (nested++ == 0)
            checkOutdated(f.client); // a timer tick while the warning is open
    };
    checkOutdated(f.client);
    CHECK(f.ui.messages.size() == 1);
    checkOutdated(f.client);
    CHECK(f.ui.messages.size() == 2);
}

TEST_CASE("settings: items, initial selection, and what OK writes") {
    test::ClientFixture f(NOW);
    const char* texts[] = {"1 dag",   "2 dagar",  "3 dagar", "5 dagar",
                           "7 dagar", "10 dagar", "15 dagar"};
    const std::uint16_t days[] = {1, 2, 3, 5, 7, 10, 15};
    for (int i = 0; i < SETTINGS_ITEM_COUNT; ++i) {
        CHECK(std::string(SETTINGS_ITEMS[i].utf8Text) == texts[i]);
        CHECK(SETTINGS_ITEMS[i].days == days[i]);
    }
    CHECK(initialSettingsSelection() == 2); // no file: "3 dagar"
    CHECK(loadWarningDays() == 0);

    saveWarningDays(15);
    CHECK(test::readFileBytes("settings.bin") == Bytes{2, 0, 0, 0, 15, 0});
    CHECK(initialSettingsSelection() == 6);

    for (const auto& [stored, selected] :
         {std::pair{1, 0}, {2, 1}, {5, 3}, {7, 4}, {10, 5}, {4, 2}, {0, 2}, {3, 2}}) {
        saveWarningDays(static_cast<std::uint16_t>(stored));
        CHECK(initialSettingsSelection() == selected);
    }

    test::writeFileBytes("settings.bin", {1, 0, 0, 0, 9});
    CHECK(loadWarningDays() == 0);
    CHECK(warningPeriodSeconds(0) == 259200);
    CHECK(warningPeriodSeconds(15) == 15 * 86400);
    CHECK(warningPeriodSeconds(49710) == 49710u * 86400);
    CHECK(warningPeriodSeconds(65535) == UINT32_MAX); // a damaged file never wraps to a short one
}

TEST_CASE("each account's own period and pause, for the accounts of the last reply") {
    test::ClientFixture f(NOW);
    const auto seen = [](std::uint32_t id, std::int64_t age) {
        RowStatus status;
        status.opened = true;
        status.lastCopyTime = ago(age);
        return SeenAccount{id, status};
    };
    f.client.lastReply = {seen(1, 10 * 86400), seen(2, 10 * 86400)};
    writeTimes(2, {ago(10 * 86400), ago(10 * 86400)});
    RulesTable rules;
    AccountRules laptop;
    laptop.periodDays = 14;
    rules.set(1, laptop);
    REQUIRE(saveRules(rules));
    checkOutdated(f.client); // the office account 2 on the global 3 days still warns
    CHECK(f.ui.messages.size() == 1);

    rules.set(2, laptop);
    REQUIRE(saveRules(rules));
    checkOutdated(f.client);
    CHECK(f.ui.messages.size() == 1);

    AccountRules paused;
    paused.snooze = SnoozeKind::UntilTime;
    paused.snoozeUntil = static_cast<std::uint32_t>(NOW + 60);
    rules.set(2, paused);
    REQUIRE(saveRules(rules));
    checkOutdated(f.client);
    CHECK(f.ui.messages.size() == 1);
    f.clock.seconds = NOW + 60; // the pause has ended by itself
    checkOutdated(f.client);
    CHECK(f.ui.messages.size() == 2);

    // A time list that the last reply did not write: every entry on the global period.
    writeTimes(2, {ago(10 * 86400), ago(10 * 86400 + 1)});
    rules.set(2, laptop);
    REQUIRE(saveRules(rules));
    checkOutdated(f.client);
    CHECK(f.ui.messages.size() == 3);
}

TEST_CASE("an anomaly never raises the warning box, an unopened account of the reply does") {
    test::ClientFixture f(NOW);
    RowStatus shrunk;
    shrunk.opened = true;
    shrunk.lastCopyTime = ago(60);
    shrunk.totalSize = 10;
    shrunk.previous = {true, ago(86400), 100, 100, 3};
    f.client.lastReply = {SeenAccount{1, shrunk}};
    writeTimes(1, {ago(60)});
    checkOutdated(f.client);
    CHECK(f.ui.messages.empty());

    f.client.lastReply.push_back(SeenAccount{2, RowStatus{}});
    writeTimes(2, {ago(60)});
    checkOutdated(f.client);
    CHECK(f.ui.messages.size() == 1);
}
