#include "status/management_act.h"
#include "tests/status/reply_builder.h"
#include "tests/support/release_probe.h"
#include "tests/support/scripted_ui.h"
#include "tests/support/temp_folder.h"
#include "tests/support/time_zone.h"

#include <doctest/doctest.h>

using namespace kpv;
using Bytes = std::vector<std::uint8_t>;

namespace {

SecureBuffer secretOf(std::uint8_t seed, std::uint32_t length = 32) {
    SecureBuffer s = SecureBuffer::zeros(length);
    for (std::uint32_t i = 0; i < length; ++i)
        s.at(i) = static_cast<std::uint8_t>(seed + i * 13);
    return s;
}

// An action for accounts 101, 102, ... named A, B, ... with secrets from their index.
struct Harness {
    test::TempFolder folder;
    test::ScriptedUi ui;
    AccountIdList excludedIds;
    BufferList excludedTexts;
    AccountIdList ids;
    BufferList keys;
    BufferList names;

    explicit Harness(std::uint32_t accounts) {
        test::setTimeZone("UTC0");
        for (std::uint32_t i = 0; i < accounts; ++i) {
            ids.append(101 + i);
            keys.appendCopy(secretOf(static_cast<std::uint8_t>(i)));
            const char name[2] = {static_cast<char>('A' + i), 0};
            names.appendCopy(SecureBuffer::fromCString(name));
        }
    }
    ManagementAct action(bool quiet = false) {
        return ManagementAct(ui, static_cast<std::int32_t>(ids.length()), ids, keys, names,
                             &excludedIds, &excludedTexts, quiet);
    }
    bool handle(RecordStream reply) {
        ManagementAct act = action();
        RecordStream next;
        std::uint8_t longIdle = 0;
        const bool result = act.handleReply(reply, next, longIdle);
        CHECK(next.length() == 0);
        CHECK(longIdle == 0);
        return result;
    }
    test::ReplyEntry entryFor(std::uint32_t i, const test::PlainStatus& status) {
        return test::sealedEntry(test::plaintextOf(status), secretOf(static_cast<std::uint8_t>(i)));
    }
};

Bytes bytesOf(const SecureBuffer& b) {
    return {b.data(), b.data() + b.length()};
}

const std::vector<std::string> ZERO_ROW = {"B", "1970-01-01 00:00", "0", "0 bytes", "0", "0",
                                           "0", "0 bytes"};

} // namespace

TEST_CASE("one opened status and one without a tag") {
    Harness h(2);
    test::PlainStatus status;
    status.lastCopyTime = 1700000000;
    status.fileCount = 1234567;
    status.totalSize = 1234567;
    status.excludedNames = {"a", "bc"};
    test::ReplyEntry first = h.entryFor(0, status);
    first.diskSpace = (1ULL << 32);
    first.storedCopies = 5;
    first.copiesMade = 42;
    test::ReplyEntry second = h.entryFor(1, status);
    second.tag.release();

    CHECK_FALSE(h.handle(test::replyFrame({first, second})));
    REQUIRE(h.ui.rows.size() == 2);
    CHECK(h.ui.clears == 1);
    const test::ShownRow* a = h.ui.rowFor(101);
    REQUIRE(a != nullptr);
    CHECK(a->texts == std::vector<std::string>{"A", "2023-11-14 22:13", "1234567", "1 205 KB", "2",
                                               "42", "5", "4 096 MB"});
    CHECK(h.ui.rowFor(102)->texts == ZERO_ROW);
    CHECK(a->status.opened);
    CHECK(a->status.lastCopyTime == 1700000000);
    CHECK_FALSE(h.ui.rowFor(102)->status.opened);

    REQUIRE(h.excludedIds.length() == 1);
    CHECK(h.excludedIds[0] == 101);
    CHECK(bytesOf(h.excludedTexts[0]) == Bytes{0x61, 0x0D, 0x0A, 0x62, 0x63, 0x0D, 0x0A, 0x00});
    CHECK(test::readFileBytes("time_list.bin") == Bytes{6, 0, 0, 0, 2, 0, 0x00, 0xF1, 0x53, 0x65});
}

TEST_CASE("a status with no excluded files, and one too short for its fields") {
    Harness h(2);
    test::PlainStatus none;
    none.lastCopyTime = 5;
    const SecureBuffer shortPlain = SecureBuffer::ofBytes("\x01\x02\x03\x00\x00\x00\x07", 7);
    test::ReplyEntry cut = test::sealedEntry(shortPlain, SecureBuffer(secretOf(1)));

    CHECK_FALSE(h.handle(test::replyFrame({h.entryFor(0, none), cut})));
    CHECK(bytesOf(h.excludedTexts[0]) == Bytes{0});
    CHECK(h.ui.rowFor(101)->texts[4] == "0");
    // lastCopyTime reads 0x00000003 from offset 2; the file count half-present reads 0.
    CHECK(h.ui.rowFor(102)->texts[1] == "1970-01-01 00:00");
    CHECK(h.ui.rowFor(102)->texts[2] == "0");
    CHECK(h.excludedIds.length() == 2);
}

TEST_CASE("replies that are not status replies change nothing") {
    Harness h(1);
    test::writeFileBytes("time_list.bin", {2, 0, 0, 0, 9, 9});
    test::PlainStatus status;
    CHECK(h.handle(test::replyFrame({h.entryFor(0, status)}, MSG_STATUS_REQUEST)));
    RecordStream broken = test::replyFrame({h.entryFor(0, status)});
    broken.contents.at(3) = 1;
    CHECK(h.handle(std::move(broken)));
    RecordStream tiny(SecureBuffer::ofBytes("CHK", 3));
    CHECK(h.handle(std::move(tiny)));
    CHECK(h.ui.clears == 0);
    CHECK(h.ui.rows.empty());
    CHECK(test::readFileBytes("time_list.bin") == Bytes{2, 0, 0, 0, 9, 9});
}

TEST_CASE("tampered, foreign-key and missing statuses show zeros") {
    Harness h(3);
    test::PlainStatus status;
    status.lastCopyTime = 1000;
    test::ReplyEntry tampered = h.entryFor(0, status);
    tampered.sealed.at(20) ^= 1;
    test::ReplyEntry foreign = h.entryFor(7, status); // sealed under another secret
    CHECK_FALSE(h.handle(test::replyFrame({tampered, foreign})));
    CHECK(h.ui.rows.size() == 3); // the third entry is missing from the list: zeros as well
    CHECK(h.excludedIds.length() == 0);
    CHECK(test::readFileBytes("time_list.bin") == Bytes{2, 0, 0, 0, 3, 0});

    // A missing status list blob reads as empty.
    RecordStream empty;
    beginFrame(empty);
    writeMessageType(empty, MSG_STATUS_REPLY);
    empty.cursor = FRAME_HEADER_SIZE;
    CHECK_FALSE(h.handle(std::move(empty)));
    CHECK(h.ui.rows.size() == 3);
}

TEST_CASE("excluded counts larger than the names sent") {
    Harness h(1);
    test::PlainStatus status;
    status.excludedNames = {"x"};

    SUBCASE("each missing name is an empty line") {
        status.excludedCount = 3;
        CHECK_FALSE(h.handle(test::replyFrame({h.entryFor(0, status)})));
        CHECK(bytesOf(h.excludedTexts[0]) == Bytes{'x', 0x0D, 0x0A, 0x0D, 0x0A, 0x0D, 0x0A, 0});
    }
    SUBCASE("a count the plaintext cannot hold makes no more lines than it could") {
        status.excludedCount = 0xFFFFFFFE;
        CHECK_FALSE(h.handle(test::replyFrame({h.entryFor(0, status)})));
        // 28 bytes of plaintext hold at most 7 names.
        Bytes expected{'x'};
        for (int i = 0; i < 7; ++i)
            expected.insert(expected.end(), {0x0D, 0x0A});
        expected.push_back(0);
        CHECK(bytesOf(h.excludedTexts[0]) == expected);
        CHECK(h.ui.rowFor(101)->texts[4] == "4294967294");
    }
    SUBCASE("a name count with nothing after it does not loop on the same bytes") {
        status.excludedNames.clear();
        status.excludedCount = 0xFFFFFFFF - 1;
        SecureBuffer plaintext = test::plaintextOf(status);
        const std::uint8_t danglingCount[4] = {5, 0, 0, 0};
        plaintext.append(danglingCount, 4);
        CHECK_FALSE(h.handle(test::replyFrame({test::sealedEntry(plaintext, secretOf(0))})));
        CHECK(h.excludedTexts[0].length() == 2 * (26 / 4) + 1);
    }
}

TEST_CASE("a status list cut short by the end of the reply reads as empty") {
    Harness h(1);
    test::PlainStatus status;
    status.lastCopyTime = 1000;
    RecordStream reply = test::replyFrame({h.entryFor(0, status)});
    reply.contents.at(FRAME_HEADER_SIZE) += 1; // one byte more announced than sent
    CHECK_FALSE(h.handle(std::move(reply)));
    REQUIRE(h.ui.rows.size() == 1);
    CHECK(h.ui.rowFor(101)->texts[1] == "1970-01-01 00:00");
    CHECK(h.excludedIds.length() == 0);
    CHECK(test::readFileBytes("time_list.bin") == Bytes{2, 0, 0, 0, 1, 0});
}

TEST_CASE("failures show one message unless quiet; the window's lists are left alone") {
    Harness h(1);
    h.excludedIds.append(5);
    {
        ManagementAct loud = h.action(false);
        loud.onFailed(0, 111);
        ManagementAct quiet = h.action(true);
        quiet.onFailed(1, 0);
    }
    CHECK(h.ui.messageTexts() == std::vector<std::string>{"Fel: Fick ingen kontakt med servern."});
    CHECK(h.ui.messages[0].kind == MessageKind::Error);
    CHECK(h.ui.updateCalls == std::vector<std::string>{"failed", "failed"});
    CHECK(h.excludedIds.length() == 1);
}

TEST_CASE("handling a reply wipes every buffer it used") {
    Harness h(2);
    test::PlainStatus status;
    status.excludedNames = {"hemlig.txt"};
    RecordStream reply = test::replyFrame({h.entryFor(0, status), h.entryFor(1, status)});
    test::ReleaseProbe probe;
    CHECK_FALSE(h.handle(std::move(reply)));
    CHECK(probe.blocksReleased() > 10);
    CHECK(probe.dirtyBlocks() == 0);
}
