// The group policy of a managed deployment, as the commands see it.
#include "app/account_commands.h"
#include "app/managed_accounts.h"
#include "app/outdated_check.h"
#include "app/settings.h"
#include "app/user_list_commands.h"
#include "core/data_file.h"
#include "tests/app/client_fixture.h"

#include <doctest/doctest.h>

using namespace kpv;
using Bytes = std::vector<std::uint8_t>;

namespace {

const std::string LOCKED = "Kontolistan är låst av administratören.";
const std::string PRESET_ERROR = "Fel: Kunde inte läsa kontolistan som administratören har angett.";

const Bytes ONE_ACCOUNT{0x15, 0, 0, 0,    1,    0,    0, 0, 7, 0, 0,   0, 3,
                        0,    0, 0, 0xA1, 0xA2, 0xA3, 2, 0, 0, 0, 'A', 0};

} // namespace

TEST_CASE("policy values out of range or malformed count as not set") {
    CHECK(readManagedPolicy(FixedPolicy{}).serverHost.empty());
    FixedPolicy good;
    good.setText("ServerHost", "backup.example.org")
        .setNumber("WarningDays", 15)
        .setNumber("LockAccounts", 1)
        .setText("UserListFile", "\\\\server\\share\\kontor.ulf");
    const ManagedPolicy set = readManagedPolicy(good);
    CHECK(set.serverHost == "backup.example.org");
    CHECK(set.warningDays == 15);
    CHECK(set.accountsLocked);
    CHECK(set.userListFile == "\\\\server\\share\\kontor.ulf");

    for (const char* host : {"bad host", "a/b", "host\r\nX", "ä.example"})
        CHECK(readManagedPolicy(FixedPolicy{}.setText("ServerHost", host)).serverHost.empty());
    CHECK(readManagedPolicy(FixedPolicy{}.setText("ServerHost", std::string(254, 'a')))
              .serverHost.empty());
    for (std::uint32_t days : {0u, 16u, 0xFFFFFFFFu})
        CHECK(readManagedPolicy(FixedPolicy{}.setNumber("WarningDays", days)).warningDays == 0);
    CHECK_FALSE(readManagedPolicy(FixedPolicy{}.setNumber("LockAccounts", 0)).accountsLocked);
    CHECK(readManagedPolicy(FixedPolicy{}.setText("UserListFile", "a\nb")).userListFile.empty());
}

TEST_CASE("a locked list refuses every change with one message and stays as it was") {
    test::ClientFixture f;
    f.client.policy.accountsLocked = true;
    test::writeFileBytes("account_list.bin", ONE_ACCOUNT);
    f.ui.hasSelection = true;
    f.ui.selectedId = 7;
    f.ui.chosenPaths = {"some.rlf", "list.ulf"};
    addAccount(f.client);
    removeSelectedAccount(f.client);
    renameSelectedAccount(f.client);
    importUserList(f.client);
    CHECK(f.ui.messageTexts() == std::vector<std::string>(4, LOCKED));
    CHECK(f.ui.chosenPaths.size() == 2); // no file dialog was opened
    CHECK(test::readFileBytes("account_list.bin") == ONE_ACCOUNT);

    f.ui.messages.clear();
    exportUserList(f.client); // export still works
    CHECK(f.ui.messages.empty());
    CHECK(test::readFileBytes("some.rlf") == ONE_ACCOUNT);
}

TEST_CASE("a preset list fills only a missing account list; an unreadable one says so once") {
    test::ClientFixture f;
    test::writeFileBytes("preset.ulf", {100, 0, 0, 0, 1}); // declares more than it holds
    CHECK_FALSE(importPresetUserList(f.client, "preset.ulf"));
    CHECK_FALSE(importPresetUserList(f.client, "missing.ulf"));
    CHECK(f.ui.messageTexts() == std::vector<std::string>{PRESET_ERROR, PRESET_ERROR});
    CHECK_FALSE(test::fileExists("account_list.bin"));

    f.ui.messages.clear();
    test::writeFileBytes("preset.ulf", ONE_ACCOUNT);
    CHECK(importPresetUserList(f.client, "preset.ulf"));
    CHECK(test::readFileBytes("account_list.bin") == ONE_ACCOUNT);
    test::writeFileBytes("account_list.bin", {4, 0, 0, 0, 0, 0, 0, 0}); // the user's own since
    CHECK_FALSE(importPresetUserList(f.client, "preset.ulf"));
    test::writeFileBytes("account_list.bin", {9, 9}); // damaged, but still never replaced
    CHECK_FALSE(importPresetUserList(f.client, "preset.ulf"));
    CHECK(test::readFileBytes("account_list.bin") == Bytes{9, 9});
    CHECK(f.ui.messages.empty()); // no question, no message, no update
}

TEST_CASE("a policy's warning period wins over the stored one, in the check and the dialog") {
    constexpr std::int64_t NOW = test::FIXTURE_NOW;
    test::ClientFixture f(NOW);
    saveWarningDays(1);
    RecordStream times;
    times.appendU16(1);
    times.appendU32(static_cast<std::uint32_t>(NOW - 2 * 86400)); // two days old
    REQUIRE(saveDataFile("time_list.bin", times));
    f.client.policy.warningDays = 7;
    checkOutdated(f.client);
    CHECK(f.ui.messages.empty());
    f.client.policy.warningDays = 0;
    checkOutdated(f.client);
    CHECK(f.ui.messages.size() == 1);

    CHECK(effectiveWarningDays(4) == 4);
    CHECK(effectiveWarningDays(0) == 1);
    CHECK(policySettingsSelection(7) == 4);
    CHECK(policySettingsSelection(4) == -1);
    CHECK(periodText(1) == "1 dag");
    CHECK(periodText(4) == "4 dagar");
}
