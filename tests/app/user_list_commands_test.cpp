#include "app/user_list_commands.h"
#include "tests/app/client_fixture.h"

#include <doctest/doctest.h>

using namespace kpv;
using Bytes = std::vector<std::uint8_t>;

namespace {

const std::string LIST_ERROR = "Fel vid export av listan.";
const std::string IMPORTED = "Användarlistan importerad från fil!";
const std::string QUESTION =
    "VARNING! De användare som lagras i programmet kommer att skrivas över! Vill du fortsätta?";

const Bytes ONE_ACCOUNT{0x15, 0, 0, 0,    1,    0,    0, 0, 7, 0, 0,   0, 3,
                        0,    0, 0, 0xA1, 0xA2, 0xA3, 2, 0, 0, 0, 'A', 0};

Bytes pathBytes(const SecureBuffer& b) {
    return {b.data(), b.data() + b.length()};
}

} // namespace

TEST_CASE("export copies the envelope of account_list.bin") {
    test::ClientFixture f;
    f.ui.chosenPaths = {"out.ulf"};
    exportUserList(f.client);
    CHECK(f.ui.messageTexts() == std::vector<std::string>{LIST_ERROR});
    CHECK_FALSE(test::fileExists("out.ulf"));
    CHECK(f.ui.saveDialogInitialNames == std::vector<std::string>{"Användarlista.ulf"});

    Bytes withTrailing = ONE_ACCOUNT;
    withTrailing.push_back(0xEE);
    test::writeFileBytes("account_list.bin", withTrailing);
    f.ui.messages.clear();
    f.ui.chosenPaths = {"out.ulf", ""};
    exportUserList(f.client);
    exportUserList(f.client); // cancelled
    CHECK(f.ui.messages.empty());
    CHECK(test::readFileBytes("out.ulf") == ONE_ACCOUNT);
}

TEST_CASE("import replaces the list after a question, export then import round-trips") {
    test::ClientFixture f;
    test::writeFileBytes("account_list.bin", ONE_ACCOUNT);
    f.ui.chosenPaths = {"list.ulf"};
    exportUserList(f.client);

    test::writeFileBytes("account_list.bin", {4, 0, 0, 0, 0, 0, 0, 0});
    f.ui.chosenPaths = {"list.ulf"};
    f.ui.answers = {Answer::No};
    importUserList(f.client);
    CHECK(test::readFileBytes("account_list.bin") == Bytes{4, 0, 0, 0, 0, 0, 0, 0});
    CHECK(f.ui.messageTexts() == std::vector<std::string>{QUESTION});
    CHECK(f.ui.messages[0].kind == MessageKind::Question);

    f.ui.messages.clear();
    f.ui.chosenPaths = {"list.ulf"};
    f.ui.answers = {Answer::Yes};
    importUserList(f.client);
    CHECK(test::readFileBytes("account_list.bin") == ONE_ACCOUNT);
    // The update after the import has no server to reach.
    CHECK(f.ui.messageTexts() ==
          std::vector<std::string>{QUESTION, IMPORTED, "Fel: Fick ingen kontakt med servern."});
}

TEST_CASE("import: an empty file is a valid empty list, a short one is refused") {
    test::ClientFixture f;
    test::writeFileBytes("account_list.bin", ONE_ACCOUNT);
    test::writeFileBytes("short.ulf", {100, 0, 0, 0, 1, 2});
    f.ui.chosenPaths = {"short.ulf", "missing.ulf"};
    f.ui.answers = {Answer::Yes, Answer::Ok, Answer::Yes};
    importUserList(f.client);
    importUserList(f.client);
    CHECK(f.ui.messageTexts() ==
          std::vector<std::string>{QUESTION, LIST_ERROR, QUESTION, LIST_ERROR});
    CHECK(test::readFileBytes("account_list.bin") == ONE_ACCOUNT);

    test::writeFileBytes("empty.ulf", {});
    f.ui.messages.clear();
    f.ui.chosenPaths = {"empty.ulf"};
    f.ui.answers = {Answer::Yes};
    importUserList(f.client);
    CHECK(test::readFileBytes("account_list.bin") == Bytes{0, 0, 0, 0});
    CHECK(f.ui.messageTexts() ==
          std::vector<std::string>{QUESTION, IMPORTED}); // nothing to ask for
}

TEST_CASE("dialog paths stop at the first control byte and keep code-page letters") {
    const auto path = [](const Bytes& raw) {
        return pathBytes(pathFromDialogBuffer(
            SecureBuffer::ofBytes(raw.data(), static_cast<std::uint32_t>(raw.size()))));
    };
    CHECK(path({}) == Bytes{0});
    CHECK(path({'C', ':', '\\', 0xE5, 0xE4, 0xF6, 0, 'x', 'y'}) ==
          Bytes{'C', ':', '\\', 0xE5, 0xE4, 0xF6, 0});
    CHECK(path({'a', 0x7F, 'b'}) == Bytes{'a', ' ', 'b', 0});
    CHECK(path({'a', '\n', 'b'}) == Bytes{'a', 0});
}
