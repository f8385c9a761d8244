#include "accounts/account_list_file.h"
#include "accounts/pending_name.h"
#include "app/account_commands.h"
#include "tests/app/client_fixture.h"
#include "tests/status/reply_builder.h"

#include <doctest/doctest.h>

using namespace kpv;
using Bytes = std::vector<std::uint8_t>;

namespace {

const Bytes KEY4{0xA1, 0xA2, 0xA3, 0xA4};

// The 18-byte remote log file: content length 14, tag, id, key blob.
Bytes remoteLog(std::uint16_t tag, std::uint32_t id, const Bytes& key) {
    RecordStream content;
    content.appendU16(tag);
    content.appendU32(id);
    content.appendBlob(SecureBuffer::ofBytes(key.data(), static_cast<std::uint32_t>(key.size())));
    Bytes file{static_cast<std::uint8_t>(content.length()), 0, 0, 0};
    file.insert(file.end(), content.contents.data(), content.contents.data() + content.length());
    return file;
}

struct Stored {
    AccountIdList ids;
    BufferList keys;
    BufferList names;
    Stored() { loadAccountList(ids, keys, names); }
    std::string name(std::uint32_t i) const { return names[i].text(); }
};

void storeAccounts(const std::vector<std::pair<std::uint32_t, std::string>>& accounts) {
    AccountIdList ids;
    BufferList keys;
    BufferList names;
    for (const auto& [id, name] : accounts) {
        ids.append(id);
        const std::uint8_t key = static_cast<std::uint8_t>(id);
        keys.appendCopy(SecureBuffer::ofBytes(&key, 1));
        names.appendCopy(SecureBuffer::fromCString(name.c_str()));
    }
    REQUIRE(saveAccountList(ids, keys, names));
}

} // namespace

TEST_CASE("adding an account from a remote log file") {
    test::ClientFixture f;
    const Bytes file = remoteLog(0, 7, KEY4);
    CHECK(file.size() == 18);
    test::writeFileBytes("konto.rlf", file);
    f.ui.chosenPaths = {"konto.rlf"};
    f.ui.names = {{"Kontor", true}};
    addAccount(f.client);

    Stored stored;
    REQUIRE(stored.ids.length() == 1);
    CHECK(stored.ids[0] == 7);
    CHECK(stored.keys[0].equals(SecureBuffer::ofBytes(KEY4.data(), 4)));
    CHECK(stored.name(0) == "Kontor");
    CHECK(f.ui.nameDialogInitialTexts == std::vector<std::string>{""});
    // The manual update that follows cannot reach a server: its message is the only one.
    CHECK(f.ui.messageTexts() == std::vector<std::string>{"Fel: Fick ingen kontakt med servern."});

    SUBCASE("the same file again is refused before the name dialog") {
        f.ui.messages.clear();
        f.ui.chosenPaths = {"konto.rlf"};
        addAccount(f.client);
        CHECK(f.ui.messageTexts() ==
              std::vector<std::string>{"Fel: Detta kontot är redan tillagt i klienten."});
        CHECK(f.ui.nameDialogInitialTexts.size() == 1);
    }
}

TEST_CASE("remote log files that are refused add nothing") {
    test::ClientFixture f;
    test::writeFileBytes("tagged.rlf", remoteLog(1, 7, KEY4));
    test::writeFileBytes("short.rlf", {100, 0, 0, 0, 0, 0, 7});
    f.ui.chosenPaths = {"tagged.rlf", "short.rlf", "missing.rlf", ""};
    for (int i = 0; i < 4; ++i)
        addAccount(f.client);
    CHECK(f.ui.messageTexts() == std::vector<std::string>{"Fel: Filen har felaktigt format.",
                                                          "Fel: Kunde inte läsa filen.",
                                                          "Fel: Kunde inte läsa filen."});
    CHECK_FALSE(test::fileExists("account_list.bin"));
}

TEST_CASE("an empty remote log file adds account 0 with no key") {
    test::ClientFixture f;
    test::writeFileBytes("empty.rlf", {});
    f.ui.chosenPaths = {"empty.rlf"};
    f.ui.names = {{"", true}};
    addAccount(f.client);
    Stored stored;
    REQUIRE(stored.ids.length() == 1);
    CHECK(stored.ids[0] == 0);
    CHECK(stored.keys[0].empty());
    CHECK(stored.names[0].length() == 1); // the empty name
}

TEST_CASE("names are cut at 1023 bytes by the dialog and made printable") {
    test::ClientFixture f;
    test::writeFileBytes("a.rlf", remoteLog(0, 1, KEY4));
    test::writeFileBytes("b.rlf", remoteLog(0, 2, KEY4));
    f.ui.chosenPaths = {"a.rlf", "b.rlf", "a.rlf"};
    f.ui.names = {{"tab\there", true}, {"skip", false}};
    addAccount(f.client);
    addAccount(f.client); // cancelled in the name dialog: nothing changes
    Stored stored;
    REQUIRE(stored.ids.length() == 1);
    CHECK(stored.name(0) == "tab here");
}

TEST_CASE("removing the selected account") {
    test::ClientFixture f;
    storeAccounts({{1, "A"}, {2, "B"}, {3, "C"}});

    removeSelectedAccount(f.client);
    CHECK(f.ui.messageTexts() ==
          std::vector<std::string>{"Fel: Inget konto är markerat i listan."});

    f.ui.messages.clear();
    f.ui.hasSelection = true;
    f.ui.selectedId = 2;
    f.ui.answers = {Answer::No};
    removeSelectedAccount(f.client);
    CHECK(f.ui.messages.size() == 1);
    CHECK(f.ui.messages[0].kind == MessageKind::Question);
    CHECK(Stored().ids.length() == 3);

    f.ui.messages.clear();
    f.ui.answers = {Answer::Yes};
    removeSelectedAccount(f.client);
    Stored stored;
    REQUIRE(stored.ids.length() == 2);
    CHECK(stored.ids[0] == 1);
    CHECK(stored.ids[1] == 3);
    CHECK(stored.name(1) == "C");
    CHECK(stored.keys[1].at(0) == 3);

    CHECK_FALSE(removeAccount(99));
    CHECK(removeAccount(1));
    CHECK(removeAccount(3));
    CHECK(test::readFileBytes("account_list.bin") == Bytes{4, 0, 0, 0, 0, 0, 0, 0});
}

TEST_CASE("renaming opens with the current name and acts on the first of equal ids") {
    test::ClientFixture f;
    storeAccounts({{5, "Första"}, {5, "Andra"}});
    f.ui.hasSelection = true;
    f.ui.selectedId = 5;

    f.ui.names = {{"", false}};
    renameSelectedAccount(f.client);
    CHECK(f.ui.messages.empty());
    CHECK(f.ui.nameDialogInitialTexts.back() == std::string("Första") + '\0');

    f.ui.names = {{"Nytt", true}};
    renameSelectedAccount(f.client);
    Stored stored;
    CHECK(stored.name(0) == "Nytt");
    CHECK(stored.name(1) == "Andra");

    f.ui.messages.clear();
    f.ui.selectedId = 6;
    renameSelectedAccount(f.client);
    CHECK(f.ui.messageTexts() == std::vector<std::string>{"Fel: Kunde inte byta namn på kontot."});

    f.ui.messages.clear();
    f.ui.hasSelection = false;
    renameSelectedAccount(f.client);
    CHECK(f.ui.messages.empty());
}

TEST_CASE("an unreadable account list makes remove and rename fail without writing") {
    test::ClientFixture f;
    test::writeFileBytes("account_list.bin", {50, 0, 0, 0, 1});
    f.ui.hasSelection = true;
    f.ui.selectedId = 0;
    f.ui.answers = {Answer::Yes};
    removeSelectedAccount(f.client);
    renameSelectedAccount(f.client);
    CHECK(f.ui.messageTexts() ==
          std::vector<std::string>{"Vill du verkligen ta bort det markerade kontot från Kopiavakt?",
                                   "Fel: kunte inte ta bort konto.",
                                   "Fel: Kunde inte byta namn på kontot."});
    CHECK(test::readFileBytes("account_list.bin") == Bytes{50, 0, 0, 0, 1});
}

TEST_CASE("after a rename, the row of the next add shows the new name") {
    const Bytes reply = test::bytesOf(test::replyFrame({}).contents); // every row shows zeros
    test::ClientFixture f;
    f.serve({reply, reply});
    storeAccounts({{5, "Gammalt"}});
    f.ui.hasSelection = true;
    f.ui.selectedId = 5;
    f.ui.names = {{"Nytt", true}};
    renameSelectedAccount(f.client);
    REQUIRE(f.ui.rowFor(5) != nullptr);
    CHECK(f.ui.rowFor(5)->texts[0] == "Nytt");

    test::writeFileBytes("konto.rlf", remoteLog(0, 7, KEY4));
    f.ui.chosenPaths = {"konto.rlf"};
    f.ui.names = {{"Hem", true}};
    addAccount(f.client);
    CHECK(f.ui.messages.empty());
    REQUIRE(f.ui.rows.size() == 2);
    CHECK(f.ui.rowFor(5)->texts[0] == "Nytt");
    CHECK(f.ui.rowFor(7)->texts[0] == "Hem");
}
