#include "core/data_file.h"
#include "status/account_state.h"
#include "status/history_file.h"
#include "status/history_table.h"
#include "tests/support/temp_folder.h"
#ifndef _WIN32
#include "tests/support/file_size_limit.h"
#endif

#include <doctest/doctest.h>

#include <string>
#include <vector>

using namespace kpv;

namespace {

constexpr std::uint32_t NOW = 1800000000;
constexpr std::uint32_t DAY = 86400;

RowStatus copyAt(std::uint32_t time, std::uint32_t files = 100, std::uint64_t size = 1000) {
    RowStatus status;
    status.opened = true;
    status.lastCopyTime = time;
    status.fileCount = files;
    status.totalSize = size;
    status.storedCopies = 10;
    return status;
}

// Daily updates of account 7 from day 0 on, each with a new copy.
AccountHistory dailyHistory(std::uint32_t days, std::uint32_t start) {
    AccountHistory history;
    for (std::uint32_t d = 0; d < days; ++d) {
        const std::uint32_t at = start + d * DAY;
        history.startUpdate({7}, at);
        history.record(7, copyAt(at - 60, 100 + d), at);
    }
    return history;
}

std::vector<std::uint8_t> fileBytes(const char* name) {
    return test::readFileBytes(name);
}

} // namespace

TEST_CASE("history: only changes are recorded, removed accounts go, the previous copy is found") {
    AccountHistory history;
    history.startUpdate({1, 2}, NOW);
    CHECK(history.record(1, copyAt(NOW - 100), NOW));
    CHECK_FALSE(history.record(1, copyAt(NOW - 100), NOW + 600));       // nothing changed
    CHECK_FALSE(history.record(2, RowStatus{}, NOW));                   // unopened: nothing
    CHECK(history.previousCopyOf(1, copyAt(NOW - 100)).known == false); // a first copy

    RowStatus more = copyAt(NOW - 100);
    more.copiesMade = 1; // the same copy, another value: recorded, but not a previous copy
    CHECK(history.record(1, more, NOW + 1200));
    CHECK(history.recordsOf(1).size() == 2);
    CHECK_FALSE(history.previousCopyOf(1, more).known);

    const RowStatus next = copyAt(NOW + DAY, 5, 50);
    CHECK(history.record(1, next, NOW + DAY));
    const PreviousCopy previous = history.previousCopyOf(1, next);
    CHECK(previous.known);
    CHECK(previous.lastCopyTime == NOW - 100);
    CHECK(previous.fileCount == 100);
    CHECK(previous.totalSize == 1000);
    CHECK(previous.storedCopies == 10);

    history.startUpdate({2}, NOW + DAY); // account 1 left the list
    CHECK(history.recordsOf(1).empty());
    CHECK(history.accountCount() == 0);
}

TEST_CASE("history: bounded by records and by age, the newest record always kept") {
    AccountHistory many = dailyHistory(2100, NOW - 2100 * DAY);
    CHECK(many.recordsOf(7).size() <= 400 + 1); // the age bound bites first for daily copies
    CHECK(many.recordsOf(7).front().timeSeen >= NOW - 401 * DAY);

    AccountHistory often; // ten updates a day, each with other values: the count bound bites
    often.startUpdate({7}, NOW);
    for (std::uint32_t i = 0; i < 2500; ++i)
        often.record(7, copyAt(NOW, i + 1), NOW + i * 60);
    CHECK(often.recordsOf(7).size() == MAX_RECORDS_PER_ACCOUNT);
    CHECK(often.recordsOf(7).front().fileCount == 501); // the oldest went first
    CHECK(often.recordsOf(7).back().fileCount == 2500);

    AccountHistory old; // a copy seen once, long ago, stays as the account's one record
    old.startUpdate({7}, NOW - 1000 * DAY);
    old.record(7, copyAt(NOW - 1000 * DAY), NOW - 1000 * DAY);
    old.startUpdate({7}, NOW);
    CHECK(old.recordsOf(7).size() == 1);
}

TEST_CASE("history: 65535 accounts with records beyond their share stay within the bound") {
    constexpr std::uint32_t ACCOUNTS = 65535;
    std::vector<std::uint32_t> ids(ACCOUNTS);
    for (std::uint32_t i = 0; i < ACCOUNTS; ++i)
        ids[i] = i * 7 + 1;
    // Past each account's share every further round is the same push of the newest record and
    // drop of the oldest, so twice the share shows the steady state; the benchmark
    // (bench/history_bench.cpp) runs all 2000 rounds.
    const std::uint32_t rounds = 2 * recordsPerAccount(ACCOUNTS) + 1;
    AccountHistory history;
    for (std::uint32_t round = 0; round < rounds; ++round) {
        const std::uint32_t at = NOW + round * 600;
        history.startUpdate(ids, at);
        for (const std::uint32_t id : ids)
            history.record(id, copyAt(at, round + 1), at);
    }
    CHECK(history.accountCount() == ACCOUNTS);
    CHECK(history.recordCount() <= MAX_HISTORY_RECORDS);
    CHECK(history.recordsOf(1).size() == recordsPerAccount(ACCOUNTS));
    CHECK(history.recordsOf(1).back().fileCount == rounds);

    test::TempFolder folder;
    REQUIRE(saveHistory(history));
    CHECK(fileBytes(HISTORY_FILE).size() <= 4 + 2 + 48ull * MAX_HISTORY_RECORDS);
    const AccountHistory loaded = loadHistory();
    CHECK(loaded.recordCount() == history.recordCount());
    CHECK(loaded.recordsOf(ids.back()).back().fileCount == rounds);
}

TEST_CASE("history.bin: round trip, a damaged tail drops only the tail, a full disk keeps it") {
    test::TempFolder folder;
    AccountHistory history;
    history.startUpdate({3, 9}, NOW);
    history.record(3, copyAt(NOW - 10, 1, 0x123456789ull), NOW);
    history.record(9, copyAt(NOW - 20, 2), NOW);
    history.record(9, copyAt(NOW + 500, 3), NOW + 600);
    REQUIRE(saveHistory(history));
    std::vector<std::uint8_t> bytes = fileBytes(HISTORY_FILE);
    REQUIRE(bytes.size() == 4 + 2 + 3 * 48);

    AccountHistory loaded = loadHistory();
    REQUIRE(loaded.recordsOf(3).size() == 1);
    CHECK(loaded.recordsOf(3)[0].totalSize == 0x123456789ull);
    CHECK(loaded.recordsOf(9).size() == 2);

    SUBCASE("a flipped byte in the last record") {
        bytes[bytes.size() - 10] ^= 0x40;
        test::writeFileBytes(HISTORY_FILE, bytes);
        loaded = loadHistory();
        CHECK(loaded.recordsOf(3).size() == 1);
        CHECK(loaded.recordsOf(9).size() == 1);
    }
    SUBCASE("a file cut short of its declared length") {
        bytes.resize(bytes.size() - 30);
        test::writeFileBytes(HISTORY_FILE, bytes);
        loaded = loadHistory();
        CHECK(loaded.recordCount() == 2);
    }
    SUBCASE("another version, an empty file, no file") {
        bytes[4] = 2;
        test::writeFileBytes(HISTORY_FILE, bytes);
        CHECK(loadHistory().recordCount() == 0);
        test::writeFileBytes(HISTORY_FILE, {});
        CHECK(loadHistory().recordCount() == 0);
        CHECK(loadHistory("no-such-file.bin").recordCount() == 0);
    }
#ifndef _WIN32
    SUBCASE("a full disk while writing") {
        history.record(3, copyAt(NOW + 900, 4), NOW + 900);
        {
            test::FileSizeLimit limit(100);
            CHECK_FALSE(saveHistory(history));
        }
        CHECK(fileBytes(HISTORY_FILE) == bytes); // the previous history survives whole
        CHECK(test::fileExists(HISTORY_FILE));
    }
#endif
}

TEST_CASE("the history as CSV, with the records that raised a rule") {
    AccountHistory history;
    history.startUpdate({5}, NOW);
    history.record(5, copyAt(NOW - DAY, 1000, 100000), NOW - DAY + 60);
    RowStatus again = copyAt(NOW - DAY, 1000, 100000);
    again.copiesMade = 1;
    history.record(5, again, NOW - DAY + 660);
    history.record(5, copyAt(NOW, 1000, 10000), NOW + 60); // 90 % smaller
    history.record(5, copyAt(NOW + DAY, 0, 0), NOW + DAY); // emptied
    const auto& records = history.recordsOf(5);

    const std::vector<unsigned> raised = raisedRulesOfRecords(records, AccountRules{});
    CHECK(raised == std::vector<unsigned>{0u, 0u, unsigned(SIZE_RULE), SIZE_RULE | FILE_RULE});

    const std::string csv = historyCsv(records, AccountRules{});
    const std::string expected =
        "Sedd,Senaste kopiering,Antal filer,Total storlek,Antal uteslutna filer,"
        "Antal kopieringar utförda,Antal lagrade kopior,Diskutrymme,Avvikelse\r\n"
        "2027-01-14T08:01:00Z,2027-01-14T08:00:00Z,1000,100000,0,0,10,0,\r\n"
        "2027-01-14T08:11:00Z,2027-01-14T08:00:00Z,1000,100000,0,1,10,0,\r\n"
        "2027-01-15T08:01:00Z,2027-01-15T08:00:00Z,1000,10000,0,0,10,0,size\r\n"
        "2027-01-16T08:00:00Z,2027-01-16T08:00:00Z,0,0,0,0,10,0,size+files\r\n";
    CHECK(csv == expected);
    CHECK(historyCsv({}, AccountRules{}) == std::string(HISTORY_CSV_HEADER) + "\r\n");
}
