// Faults while the client saves its files: whatever happens, every file stays whole, no other
// file is touched, and the outdated-backup warning keeps coming from the last good time list.
#include "accounts/account_list_file.h"
#include "app/outdated_check.h"
#include "app/settings.h"
#include "app/user_list_commands.h"
#include "core/data_file.h"
#include "net/address_cache.h"
#include "status/management_act.h"
#include "tests/app/client_fixture.h"

#include <doctest/doctest.h>

#include <filesystem>
#include <map>

#ifndef _WIN32
#include "tests/support/file_size_limit.h"
#endif

using namespace kpv;
using Bytes = std::vector<std::uint8_t>;
using Folder = std::map<std::string, Bytes>;

namespace {

const std::string WARNING =
    "Varning! Minst en säkerhetskopia är föråldrad och har inte uppdaterats! Avsluta "
    "programmet för att stäng av automatiska kontroller, eller ändra tiden för varningar.";
constexpr std::uint32_t DAY = 86400;

void saveTimes(std::uint32_t lastCopy) {
    RecordStream times;
    times.appendU16(1);
    times.appendU32(lastCopy);
    (void)saveDataFile(TIME_LIST_FILE, times);
}

void saveAccount(std::uint32_t id, const char* name) {
    AccountIdList ids;
    BufferList keys;
    BufferList names;
    ids.append(id);
    keys.append(SecureBuffer::zeros(32));
    names.append(SecureBuffer::fromCString(name));
    (void)saveAccountList(ids, keys, names);
}

// Every save the client makes; the copy is still outdated by the new files' measure too.
void saveEverything(test::ClientFixture& f, const std::string& exportPath) {
    saveTimes(static_cast<std::uint32_t>(test::FIXTURE_NOW - 4 * DAY));
    saveWarningDays(2);
    (void)saveCachedAddress(0x0A000001);
    saveAccount(9, "Nytt");
    f.ui.chosenPaths = {exportPath};
    exportUserList(f.client);
}

Folder folderContents() {
    Folder files;
    for (const auto& entry : std::filesystem::directory_iterator("."))
        if (entry.is_regular_file() || entry.is_symlink())
            files[entry.path().filename().string()] =
                test::readFileBytes(entry.path().filename().string());
    return files;
}

} // namespace

TEST_CASE("saves under faults keep every file whole, touch no other file, and keep warning") {
    test::ClientFixture f;
    saveTimes(static_cast<std::uint32_t>(test::FIXTURE_NOW - 5 * DAY));
    saveAccount(7, "Gammalt");
    test::writeFileBytes("export.ulf", {1, 2, 3});
    const Folder before = folderContents();
    std::vector<std::string> expectedMessages{WARNING};

    SUBCASE("planted temporary names, and on POSIX a link, are left alone") {
        Folder planted;
        for (const char* name : {"time_list.bin.tmp", "settings.bin.tmp", "last_ip.bin.tmp",
                                 "account_list.bin.tmp", "export.ulf.tmp", "victim"})
            test::writeFileBytes(name, planted[name] = Bytes{0x55, 0x66});
#ifndef _WIN32
        std::filesystem::create_symlink("victim", "wnd.bin.tmp");
        planted["wnd.bin.tmp"] = planted["victim"];
#endif
        saveEverything(f, "export.ulf");
        Folder after = folderContents();
        for (const auto& [name, bytes] : planted)
            CHECK(after[name] == bytes);
        CHECK(after[TIME_LIST_FILE] != before.at(TIME_LIST_FILE));
        CHECK(after[ACCOUNT_LIST_FILE] != before.at(ACCOUNT_LIST_FILE));
        CHECK(after["export.ulf"] == after[ACCOUNT_LIST_FILE]);
        CHECK(after.size() == before.size() + planted.size() + 2); // settings.bin, last_ip.bin
    }

#ifndef _WIN32
    SUBCASE("a file-size limit makes every save fail and keeps what was there") {
        {
            test::FileSizeLimit limit(4); // an envelope's length fits, no content does
            saveEverything(f, "export.ulf");
        }
        CHECK(folderContents() == before);
        expectedMessages.insert(expectedMessages.begin(), "Fel vid export av listan.");
    }
#endif

    SUBCASE("an export path of 259 characters is written like any other") {
        const std::string folder = f.folder.path().string();
        const std::string path =
            folder + "/" + std::string(259 - folder.size() - 1 - 4, 'x') + ".ulf";
        REQUIRE(path.size() == 259);
        saveEverything(f, path);
        CHECK(test::readFileBytes(path) == test::readFileBytes(ACCOUNT_LIST_FILE));
#ifndef _WIN32
        // POSIX: a file name of the longest length a folder takes.
        const std::string longest(255, 'y');
        f.ui.chosenPaths = {longest};
        exportUserList(f.client);
        CHECK(test::readFileBytes(longest) == test::readFileBytes(ACCOUNT_LIST_FILE));
#endif
    }

    checkOutdated(f.client);
    CHECK(f.ui.messageTexts() == expectedMessages);
}
