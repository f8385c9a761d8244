#include "tests/tools/tool_test_support.h"
#include "tools/common/byte_writer.h"
#include "tools/server/request_frame.h"
#include "tools/server/status_record.h"
#include "tools/server/status_reply.h"

#include <doctest/doctest.h>

using namespace kpv;
using namespace kpv::test;
using namespace kpv::tools;

namespace {

HeaderVerdict verdictOf(const Bytes& frame) {
    FrameHeader header;
    return checkRequestHeader(frame.data(), header);
}

bool idsOf(const Bytes& frame, std::vector<std::uint32_t>& ids) {
    return parseStatusRequest(bufferOf(frame), ids);
}

SecureBuffer name(const char* s) {
    return SecureBuffer::ofBytes(s, static_cast<std::uint32_t>(std::char_traits<char>::length(s)));
}

} // namespace

TEST_CASE("status requests of the client's own examples parse") {
    // Two accounts 7 and 300; one account 258.
    const Bytes two = hexBytes("43484B00 1C000000 0C00 0000 0100 0200 08000000 07000000 2C010000");
    const Bytes one = hexBytes("43484B00 18000000 0C00 0000 0100 0100 04000000 02010000");
    std::vector<std::uint32_t> ids;
    CHECK(verdictOf(two) == HeaderVerdict::Ok);
    REQUIRE(idsOf(two, ids));
    CHECK(ids == std::vector<std::uint32_t>{7, 300});
    REQUIRE(idsOf(one, ids));
    CHECK(ids == std::vector<std::uint32_t>{258});
    CHECK(statusRequest({7, 300}) == two);
    // No ids at all: well-formed, answered with an empty list.
    REQUIRE(idsOf(statusRequest({}), ids));
    CHECK(ids.empty());
}

TEST_CASE("malformed and oversized request headers are refused from the header alone") {
    Bytes frame = statusRequest({1});
    frame[2] = 'X';
    CHECK(verdictOf(frame) == HeaderVerdict::BadMagic);
    frame = statusRequest({1});
    frame[3] = 1;
    CHECK(verdictOf(frame) == HeaderVerdict::BadReserved);
    frame = statusRequest({1});
    frame[4] = 13; // shorter than a header
    CHECK(verdictOf(frame) == HeaderVerdict::BadLength);
    frame = statusRequest({1});
    frame[8] = 13; // a reply sent to the server
    CHECK(verdictOf(frame) == HeaderVerdict::BadType);

    // The largest request (65535 ids) is accepted; one byte more, or a wild length, is not.
    for (const std::uint32_t length : {MAX_REQUEST_SIZE, MAX_REQUEST_SIZE + 1, 0xFFFFFFFFu}) {
        CAPTURE(length);
        frame = statusRequest({1});
        for (int i = 0; i < 4; ++i)
            frame[4 + std::size_t(i)] = static_cast<std::uint8_t>(length >> (8 * i));
        CHECK((verdictOf(frame) == HeaderVerdict::Ok) == (length == MAX_REQUEST_SIZE));
    }
}

TEST_CASE("request bodies must hold exactly count ids") {
    std::vector<std::uint32_t> ids = {99};
    Bytes frame = statusRequest({1, 2});
    frame[14] = 3; // count 3, blob still 8 bytes
    CHECK_FALSE(idsOf(frame, ids));
    CHECK(ids.empty());

    frame = statusRequest({1, 2});
    frame[16] = 12; // blob claims 12 bytes
    CHECK_FALSE(idsOf(frame, ids));

    frame = statusRequest({1, 2});
    frame.push_back(0); // one byte beyond the length field
    CHECK_FALSE(idsOf(frame, ids));
    frame[4] = static_cast<std::uint8_t>(frame.size()); // length agrees, body does not
    CHECK_FALSE(idsOf(frame, ids));

    frame = statusRequest({1, 2});
    frame.resize(17); // cut inside the blob count
    frame[4] = 17;
    CHECK_FALSE(idsOf(frame, ids));
}

TEST_CASE("the plaintext status record: offsets, halves and excluded names") {
    AccountStatus status;
    status.lastCopyTime = 1700000000;
    status.fileCount = 1234567;
    status.totalSize = 0x0000000100000002ull;
    status.excludedNames.push_back(name("a"));
    status.excludedNames.push_back(name("bc"));
    const Bytes record = bytesOf(encodeStatusRecord(status));
    CHECK(record == hexBytes("0000 00f15365 87d61200 01000000 02000000 02000000"
                             "02000000 6100 03000000 626300"));

    // No excluded files: the record ends at offset 22.
    CHECK(bytesOf(encodeStatusRecord(AccountStatus{})).size() == 22);
}

TEST_CASE("status replies: one entry per requested id, in request order") {
    AccountDirectory accounts;
    ServerAccount sealedAccount;
    sealedAccount.secret = bufferOf(hexBytes("000102030405060708090a0b0c0d0e0f"));
    sealedAccount.hasStatus = true;
    sealedAccount.status.lastCopyTime = 1700000000;
    sealedAccount.status.fileCount = 5;
    sealedAccount.status.diskSpace = 0x0000000300000004ull;
    sealedAccount.status.storedCopies = 6;
    sealedAccount.status.copiesMade = 7;
    accounts.emplace(10, sealedAccount);
    ServerAccount withoutStatus;
    withoutStatus.secret = sealedAccount.secret;
    accounts.emplace(20, std::move(withoutStatus));
    ServerAccount badKey = sealedAccount;
    badKey.secret = bufferOf(hexBytes("0001020304")); // cannot be sealed for
    accounts.emplace(30, std::move(badKey));

    const StatusReply reply = buildStatusReply({20, 10, 99, 30, 10}, accounts, FaultSet{});
    CHECK(reply.summary == "20:no-status 10:sealed 99:unknown 30:unsealable 10:sealed");
    const Bytes frame = bytesOf(reply.frame);
    REQUIRE(frame.size() >= 14);
    CHECK(Bytes(frame.begin(), frame.begin() + 4) == hexBytes("43484B00"));
    CHECK(u32At(frame, 4) == frame.size());
    CHECK(frame[8] == 13);
    CHECK(frame[9] == 0);

    std::vector<ReplyEntry> entries;
    REQUIRE(splitReply(frame, 5, entries));
    for (const std::size_t empty : {0u, 2u, 3u}) {
        CAPTURE(empty);
        CHECK(entries[empty].sealed.empty());
        CHECK(entries[empty].tag.empty());
        CHECK(entries[empty].diskSpaceHigh == 0);
        CHECK(entries[empty].diskSpaceLow == 0);
        CHECK(entries[empty].storedCopies == 0);
        CHECK(entries[empty].copiesMade == 0);
    }
    for (const std::size_t sealed : {1u, 4u}) {
        CAPTURE(sealed);
        const ReplyEntry& e = entries[sealed];
        CHECK(e.diskSpaceHigh == 3);
        CHECK(e.diskSpaceLow == 4);
        CHECK(e.storedCopies == 6);
        CHECK(e.copiesMade == 7);
        Bytes plaintext;
        REQUIRE(openIndependently(sealedAccount.secret, e.sealed, e.tag, plaintext));
        CHECK(plaintext == bytesOf(encodeStatusRecord(sealedAccount.status)));
    }
    // The same account twice is sealed twice, with different vectors.
    CHECK(entries[1].sealed != entries[4].sealed);

    const StatusReply none = buildStatusReply({}, accounts, FaultSet{});
    CHECK(bytesOf(none.frame) == hexBytes("43484B00 12000000 0D00 0000 0000 00000000"));
}

TEST_CASE("faults that change the frame: bad tag per account, wrong type per reply") {
    AccountDirectory accounts;
    ServerAccount good;
    good.secret = bufferOf(hexBytes("00112233445566778899aabbccddeeff"));
    good.hasStatus = true;
    accounts.emplace(1, good);
    ServerAccount tampered = good;
    tampered.faults.add(Fault::BadTag);
    accounts.emplace(2, tampered);

    StatusReply reply = buildStatusReply({1, 2}, accounts, FaultSet{});
    CHECK(reply.summary == "1:sealed 2:bad-tag");
    CHECK(reply.faults.has(Fault::BadTag));
    std::vector<ReplyEntry> entries;
    REQUIRE(splitReply(bytesOf(reply.frame), 2, entries));
    Bytes plaintext;
    CHECK(openIndependently(good.secret, entries[0].sealed, entries[0].tag, plaintext));
    CHECK_FALSE(openIndependently(good.secret, entries[1].sealed, entries[1].tag, plaintext));
    entries[1].tag[31] ^= 1;
    CHECK(openIndependently(good.secret, entries[1].sealed, entries[1].tag, plaintext));

    FaultSet wrongType;
    wrongType.add(Fault::WrongType);
    reply = buildStatusReply({1}, accounts, wrongType);
    CHECK(reply.frame.data()[8] == 12);
    // A per-account fault that the sender carries out is reported for the whole reply.
    ServerAccount slow = good;
    slow.faults.add(Fault::Slow);
    accounts.emplace(3, slow);
    CHECK(buildStatusReply({3}, accounts, FaultSet{}).faults.has(Fault::Slow));
    CHECK_FALSE(buildStatusReply({1}, accounts, FaultSet{}).faults.has(Fault::Slow));
}

TEST_CASE("fault names") {
    Fault f{};
    for (const char* name :
         {"chunked", "slow", "wrong-type", "truncate", "bad-tag", "trailing-byte", "no-answer"}) {
        CAPTURE(name);
        REQUIRE(parseFault(name, f));
        CHECK(std::string(faultName(f)) == name);
    }
    CHECK_FALSE(parseFault("Slow", f));
    CHECK_FALSE(parseFault("", f));
    FaultSet set;
    CHECK(set.describe() == "none");
    set.add(Fault::NoAnswer);
    set.add(Fault::Chunked);
    CHECK(set.describe() == "chunked,no-answer");
}
