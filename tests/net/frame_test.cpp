#include "net/frame.h"
#include "tests/net/net_test_support.h"

#include <doctest/doctest.h>

using kpv::RecordStream;
using kpv::SecureBuffer;
using kpv::test::Bytes;
using kpv::test::bytesOf;
using kpv::test::frameBytes;
using kpv::test::statusRequest;
using kpv::test::streamOf;

namespace {

SecureBuffer bufferOf(const Bytes& bytes) {
    return SecureBuffer::ofBytes(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
}

} // namespace

TEST_CASE("beginFrame writes the bare header and puts the cursor at the body") {
    RecordStream stream;
    kpv::beginFrame(stream);
    CHECK(bytesOf(stream.contents) == Bytes{0x43, 0x48, 0x4B, 0x00, 0x0E, 0x00, 0x00, 0x00, 0x00,
                                            0x00, 0x00, 0x00, 0x00, 0x00});
    CHECK(stream.cursor == 14);
    CHECK(kpv::isCompleteFrame(stream.contents));

    // Earlier contents are replaced, not left in front of a header that would not begin them.
    RecordStream used = streamOf({1, 2, 3, 4, 5});
    used.cursor = 3;
    kpv::beginFrame(used);
    CHECK(bytesOf(used.contents) == bytesOf(stream.contents));
    CHECK(used.cursor == 14);
}

TEST_CASE("status requests built field by field match the recorded bytes") {
    // Two accounts with the ids 7 and 300; one account with the id 258.
    CHECK(statusRequest({7, 300}) == Bytes{0x43, 0x48, 0x4B, 0x00, 0x1C, 0x00, 0x00,
                                           0x00, 0x0C, 0x00, 0x00, 0x00, 0x01, 0x00,
                                           0x02, 0x00, 0x08, 0x00, 0x00, 0x00, 0x07,
                                           0x00, 0x00, 0x00, 0x2C, 0x01, 0x00, 0x00});
    CHECK(statusRequest({258}) == Bytes{0x43, 0x48, 0x4B, 0x00, 0x18, 0x00, 0x00, 0x00,
                                        0x0C, 0x00, 0x00, 0x00, 0x01, 0x00, 0x01, 0x00,
                                        0x04, 0x00, 0x00, 0x00, 0x02, 0x01, 0x00, 0x00});
}

TEST_CASE("header writes are refused by a buffer too short for the field") {
    RecordStream empty;
    CHECK_FALSE(kpv::writeMessageType(empty, 12));
    CHECK_FALSE(kpv::writeHeaderParam1(empty, 0));
    CHECK_FALSE(kpv::writeHeaderParam2(empty, 1));
    CHECK_FALSE(kpv::writeFrameLength(empty));
    CHECK(empty.contents.empty());

    RecordStream nine = streamOf(Bytes(9, 0xAA));
    CHECK_FALSE(kpv::writeMessageType(nine, 12));
    CHECK(bytesOf(nine.contents) == Bytes(9, 0xAA));
    RecordStream twelve = streamOf(Bytes(12, 0xAA));
    CHECK(kpv::writeMessageType(twelve, 0x1234));
    CHECK(kpv::writeHeaderParam1(twelve, 0x5678));
    CHECK_FALSE(kpv::writeHeaderParam2(twelve, 1));
    CHECK(bytesOf(twelve.contents) ==
          Bytes{0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0x34, 0x12, 0x78, 0x56});

    RecordStream frame;
    kpv::beginFrame(frame);
    frame.appendU32(0xDEADBEEF);
    CHECK(kpv::frameMessageType(frame.contents) == 0);
    CHECK(kpv::writeMessageType(frame, kpv::MSG_STATUS_REPLY));
    CHECK(kpv::frameMessageType(frame.contents) == 13);
    CHECK_FALSE(kpv::isCompleteFrame(frame.contents)); // length field still says 14
    CHECK(kpv::writeFrameLength(frame));
    CHECK(kpv::isCompleteFrame(frame.contents));
    CHECK(kpv::frameMessageType(bufferOf({'C', 'H', 'K', 0, 9, 0, 0, 0, 13})) == 0);
}

TEST_CASE("complete frames: every rule and the order of arrival") {
    const Bytes bare = frameBytes(0, {});
    CHECK(kpv::isCompleteFrame(bufferOf(bare)));

    // Only "CH": can still become a frame, is not one yet.
    CHECK(kpv::hasFramePrefix(bufferOf({'C', 'H'})));
    CHECK_FALSE(kpv::isCompleteFrame(bufferOf({'C', 'H'})));
    CHECK(kpv::hasFramePrefix(SecureBuffer()));
    CHECK(kpv::hasFramePrefix(bufferOf({'C'})));
    // 43 48 58 is rejected as soon as the third byte is there.
    CHECK_FALSE(kpv::hasFramePrefix(bufferOf({0x43, 0x48, 0x58})));
    CHECK(kpv::hasFramePrefix(bufferOf({0x43, 0x48, 0x4B})));
    CHECK_FALSE(kpv::hasFramePrefix(bufferOf({'X', 'H', 'K', 0, 14, 0, 0, 0})));

    // Announcing 20 bytes: incomplete with 14, complete once the last 6 arrive.
    const Bytes twenty = frameBytes(13, {1, 2, 3, 4, 5, 6});
    SecureBuffer arriving = bufferOf(Bytes(twenty.begin(), twenty.begin() + 14));
    CHECK_FALSE(kpv::isCompleteFrame(arriving));
    for (std::size_t i = 14; i < twenty.size(); ++i) {
        CHECK_FALSE(kpv::isCompleteFrame(arriving));
        arriving.append(&twenty[i], 1);
    }
    CHECK(kpv::isCompleteFrame(arriving));

    // Any byte past the announced length makes the buffer incomplete for good.
    Bytes longer = bare;
    longer.push_back(0);
    CHECK_FALSE(kpv::isCompleteFrame(bufferOf(longer)));
    CHECK(kpv::hasFramePrefix(bufferOf(longer)));

    // Reserved byte 1 with a correct length.
    Bytes reserved = bare;
    reserved[3] = 1;
    CHECK_FALSE(kpv::isCompleteFrame(bufferOf(reserved)));

    // 13 bytes beginning "CHK": incomplete whatever the length field says.
    for (const int announced : {13, 14, 0}) {
        Bytes thirteen(bare.begin(), bare.begin() + 13);
        thirteen[4] = static_cast<std::uint8_t>(announced);
        CHECK_FALSE(kpv::isCompleteFrame(bufferOf(thirteen)));
    }

    // The length field is read as all four little-endian bytes.
    Bytes high = bare;
    high[7] = 1;
    CHECK_FALSE(kpv::isCompleteFrame(bufferOf(high)));
}
