#include "accounts/account_list_file.h"
#include "app/update_cycle.h"
#include "tests/app/client_fixture.h"
#include "tests/status/reply_builder.h"
#include "tests/support/time_zone.h"

#include <doctest/doctest.h>

using namespace kpv;
using Bytes = std::vector<std::uint8_t>;

namespace {

const std::string NO_CONTACT = "Fel: Fick ingen kontakt med servern.";
const std::string NOT_SENT = "Kunde inte skicka data till servern.";

SecureBuffer secretFor(std::uint32_t id) {
    SecureBuffer s = SecureBuffer::zeros(32);
    for (std::uint32_t i = 0; i < 32; ++i)
        s.at(i) = static_cast<std::uint8_t>(id * 7 + i);
    return s;
}

void storeAccounts(const std::vector<std::uint32_t>& ids) {
    AccountIdList list;
    BufferList keys;
    BufferList names;
    for (std::uint32_t id : ids) {
        list.append(id);
        keys.appendCopy(secretFor(id));
        names.appendCopy(SecureBuffer::fromCString(("Konto " + std::to_string(id)).c_str()));
    }
    REQUIRE(saveAccountList(list, keys, names));
}

// A reply in which every account's latest copy is `lastCopy` and it excludes `excluded`.
Bytes replyFor(const std::vector<std::uint32_t>& ids, std::uint32_t lastCopy,
               const std::string& excluded) {
    std::vector<test::ReplyEntry> entries;
    for (std::uint32_t id : ids) {
        test::PlainStatus status;
        status.lastCopyTime = lastCopy;
        status.fileCount = id;
        status.excludedNames = {excluded};
        entries.push_back(test::sealedEntry(test::plaintextOf(status), secretFor(id)));
    }
    return test::bytesOf(test::replyFrame(entries).contents);
}

} // namespace

TEST_CASE("the status request names every account in file order") {
    test::ClientFixture f;
    f.serve({replyFor({258}, 1, "a"), replyFor({7, 300}, 1, "a")});
    storeAccounts({258});
    updateStatus(f.client, false);
    storeAccounts({7, 300});
    updateStatus(f.client, false);
    const std::vector<Bytes>& requests = f.network.sent;
    REQUIRE(requests.size() == 2);
    CHECK(requests[0] == Bytes{0x43, 0x48, 0x4B, 0x00, 0x18, 0x00, 0x00, 0x00,
                               0x0C, 0x00, 0x00, 0x00, 0x01, 0x00, 0x01, 0x00,
                               0x04, 0x00, 0x00, 0x00, 0x02, 0x01, 0x00, 0x00});
    CHECK(requests[1] == Bytes{0x43, 0x48, 0x4B, 0x00, 0x1C, 0x00, 0x00, 0x00, 0x0C, 0x00,
                               0x00, 0x00, 0x01, 0x00, 0x02, 0x00, 0x08, 0x00, 0x00, 0x00,
                               0x07, 0x00, 0x00, 0x00, 0x2C, 0x01, 0x00, 0x00});
    CHECK(f.ui.messages.empty());
    CHECK(f.ui.rows.size() == 2);
}

TEST_CASE("a reply fills the rows and the excluded lists, the next one replaces them") {
    test::setTimeZone("UTC0");
    test::ClientFixture f;
    f.serve({replyFor({1, 2}, 1700000000, "first"), replyFor({1, 2}, 1700000000, "second")});
    storeAccounts({1, 2});
    updateStatus(f.client, false);
    REQUIRE(f.ui.rows.size() == 2);
    CHECK(f.ui.rowFor(2)->texts[0] == "Konto 2");
    CHECK(f.ui.rowFor(2)->texts[1] == "2023-11-14 22:13");
    CHECK(f.ui.rowFor(2)->texts[2] == "2");
    updateStatus(f.client, false);
    REQUIRE(f.client.excludedTexts.length() == 2);
    CHECK(std::string(f.client.excludedTexts[0].text()) == "second\r\n");
    CHECK(f.client.excludedIds[1] == 2);
}

TEST_CASE("an empty list sends nothing and checks nothing") {
    test::ClientFixture f;
    f.client.excludedIds.append(3);
    test::writeFileBytes("time_list.bin", {6, 0, 0, 0, 1, 0, 0, 0, 0, 0}); // outdated
    updateStatus(f.client, true);
    CHECK(f.ui.clears == 1);
    CHECK(f.client.excludedIds.length() == 0);
    CHECK(f.ui.messages.empty());
    CHECK(f.ui.updateCalls == std::vector<std::string>{"start timer", "end none"});
}

TEST_CASE("an unreachable server: a message for manual updates, the check for timer ones") {
    test::ClientFixture f;
    storeAccounts({1});
    test::writeFileBytes("time_list.bin", {6, 0, 0, 0, 1, 0, 0, 0, 0, 0});
    updateStatus(f.client, false);
    CHECK(f.ui.messageTexts() == std::vector<std::string>{NO_CONTACT});
    CHECK(f.ui.rows.empty());

    f.ui.messages.clear();
    f.ui.updateCalls.clear();
    f.ui.whileMessageOpen = [&](const std::string&) {
        // The warning comes after the update has ended: the tray no longer says it runs.
        CHECK(f.ui.updateCalls ==
              std::vector<std::string>{"start timer", "failed", "end exchange"});
    };
    updateStatus(f.client, true);
    REQUIRE(f.ui.messages.size() == 1);
    CHECK(f.ui.messages[0].text.rfind("Varning!", 0) == 0);
    CHECK(test::readFileBytes("time_list.bin") == Bytes{6, 0, 0, 0, 1, 0, 0, 0, 0, 0});
}

TEST_CASE("an update started while another one shows its message is refused") {
    test::ClientFixture f;
    storeAccounts({1});
    bool nested = false;
    f.ui.whileMessageOpen = [&](const std::string& text) {
        if (text == NO_CONTACT && !nested) {
            nested = true;
            updateStatus(f.client, true); // the timer fires inside the message box
        }
    };
    updateStatus(f.client, false);
    CHECK(f.ui.messageTexts() == std::vector<std::string>{NO_CONTACT, NOT_SENT});
    // The nested update ends before the outer one; each failure reaches the interface first.
    CHECK(f.ui.updateCalls == std::vector<std::string>{"start manual", "failed", "start timer",
                                                       "end none", "end exchange"});
    f.ui.whileMessageOpen = nullptr;
    updateStatus(f.client, false); // the slot is free again afterwards
    CHECK(f.ui.messages.size() == 3);
}

TEST_CASE("a list longer than one request can carry is refused with a message") {
    test::ClientFixture f;
    AccountIdList ids;
    BufferList keys;
    BufferList names;
    for (std::uint32_t i = 0; i < 65536; ++i) {
        ids.append(i);
        keys.append(SecureBuffer());
        names.append(SecureBuffer::fromCString(""));
    }
    REQUIRE(saveAccountList(ids, keys, names));
    updateStatus(f.client, false);
    REQUIRE(f.ui.messages.size() == 1);
    CHECK(f.ui.messages[0].text.find("65535") != std::string::npos);
    updateStatus(f.client, true); // silent for the timer
    CHECK(f.ui.messages.size() == 1);
}
