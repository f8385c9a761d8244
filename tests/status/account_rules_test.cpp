#include "status/account_rules.h"
#include "tests/support/temp_folder.h"

#include <doctest/doctest.h>

using namespace kpv;

TEST_CASE("rules.bin: round trip, defaults for what is missing, damaged or out of range") {
    test::TempFolder folder;
    CHECK(loadRules().empty()); // no file: the defaults

    RulesTable table;
    AccountRules laptop;
    laptop.periodDays = 14;
    laptop.fileRule = false;
    laptop.sizeDropPercent = 80;
    laptop.snooze = SnoozeKind::UntilNewCopy;
    laptop.snoozeCopyTime = 1700000000;
    table.set(4711, laptop);
    table.set(12, AccountRules{}); // the defaults need no entry
    CHECK(table.size() == 1);
    REQUIRE(saveRules(table));

    const RulesTable loaded = loadRules();
    CHECK(loaded.rulesOf(4711) == laptop);
    CHECK(isDefault(loaded.rulesOf(12)));

    RecordStream content;
    writeRules(table, content);
    SUBCASE("an entry out of range is skipped") {
        REQUIRE(content.writeU16At(2 + 4 + 4 + 4, 61)); // period 61 days
        CHECK(readRules(content).empty());
    }
    SUBCASE("a threshold of 0 % is skipped") {
        REQUIRE(content.writeU16At(2 + 4 + 4 + 8, 0));
        CHECK(readRules(content).empty());
    }
    SUBCASE("an entry cut short, a count beyond the content, another version") {
        RecordStream cut(content.contents.slice(0, content.length() - 1));
        CHECK(readRules(cut).empty());
        REQUIRE(content.writeU32At(2, 1000000));
        content.cursor = 0;
        CHECK(readRules(content).rulesOf(4711) == laptop);
        REQUIRE(content.writeU16At(0, 2));
        content.cursor = 0;
        CHECK(readRules(content).empty());
    }
    SUBCASE("a longer entry of a later writer still reads") {
        RecordStream longer;
        longer.appendU16(1);
        longer.appendU32(1);
        RecordStream entry(content.contents.slice(10, 24));
        entry.appendU32(0xDEADBEEF);
        longer.appendBlob(entry.contents);
        CHECK(readRules(longer).rulesOf(4711) == laptop);
    }
    table.retain([](std::uint32_t id) { return id != 4711; });
    CHECK(table.empty());
}

TEST_CASE("rules.bin: a huge count over a few bytes ends at once") {
    RecordStream content;
    content.appendU16(1);
    content.appendU32(0x20000014); // far more entries than the three bytes after it can hold
    content.appendBytes("\x20\x00\x00", 3);
    CHECK(readRules(content).empty());
}
