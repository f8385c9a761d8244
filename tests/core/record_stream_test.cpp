#include "core/data_file.h"
#include "core/record_stream.h"
#include "tests/support/release_probe.h"
#include "tests/support/temp_folder.h"

#include <doctest/doctest.h>

#include <cstdio>
#include <filesystem>
#include <iterator>
#include <string>
#include <vector>

using kpv::RecordStream;
using kpv::SecureBuffer;
using Bytes = std::vector<std::uint8_t>;

namespace {

RecordStream streamOf(const Bytes& v) {
    return RecordStream(SecureBuffer::ofBytes(v.data(), static_cast<std::uint32_t>(v.size())));
}

Bytes contentOf(const SecureBuffer& b) {
    return {b.data(), b.data() + b.length()};
}

Bytes pattern(std::size_t n) {
    Bytes v(n);
    for (std::size_t i = 0; i < n; ++i)
        v[i] = static_cast<std::uint8_t>(i * 31 + 7);
    return v;
}

} // namespace

TEST_CASE("integers are little-endian and reads past the end give 0") {
    RecordStream s;
    s.appendU16(0x12345678); // only the low 16 bits
    s.appendU32(0xA1B2C3D4);
    CHECK(contentOf(s.contents) == Bytes{0x78, 0x56, 0xD4, 0xC3, 0xB2, 0xA1});
    CHECK(s.cursor == 0);
    CHECK(s.readU16() == 0x5678);
    CHECK(s.readU32() == 0xA1B2C3D4);
    CHECK(s.readU16() == 0);
    CHECK(s.cursor == 8);

    RecordStream three = streamOf({1, 2, 3});
    CHECK(three.readU32() == 0);
    CHECK(three.cursor == 4);
    CHECK(three.readU16() == 0);
    CHECK(three.cursor == 6);

    RecordStream four = streamOf({1, 0, 0, 0});
    CHECK(four.readU32() == 1);
    CHECK(four.cursor == 4);
}

TEST_CASE("blobs: whole, cut short, beyond the end and empty") {
    RecordStream s;
    s.appendBlob(SecureBuffer::fromCString("ab"));
    s.appendBlob(SecureBuffer());
    CHECK(contentOf(s.contents) == Bytes{3, 0, 0, 0, 'a', 'b', 0, 0, 0, 0, 0});
    CHECK(contentOf(s.readBlob()) == Bytes{'a', 'b', 0});
    CHECK(s.readBlob().empty());
    CHECK(s.cursor == 11);

    RecordStream shortBlob = streamOf({10, 0, 0, 0, 1, 2, 3});
    CHECK(contentOf(shortBlob.readBlob()) == Bytes{1, 2, 3});
    CHECK(shortBlob.cursor == 14);
    CHECK(shortBlob.readU32() == 0);

    RecordStream endsAtCount = streamOf({5, 0, 0, 0});
    CHECK(endsAtCount.readBlob().empty());
    CHECK(endsAtCount.cursor == 0);

    RecordStream zero = streamOf({0, 0, 0, 0, 9});
    CHECK(zero.readBlob().empty());
    CHECK(zero.cursor == 4);
}

TEST_CASE("a huge blob count never wraps the cursor back to the front") {
    RecordStream s = streamOf({0xF0, 0xFF, 0xFF, 0xFF, 1, 2, 3, 4, 5, 6, 7, 8});
    CHECK(contentOf(s.readBlob()) == Bytes{1, 2, 3, 4, 5, 6, 7, 8});
    CHECK(s.exhausted());
    for (int i = 0; i < 3; ++i) {
        CHECK(s.readBlob().empty());
        CHECK(s.readU32() == 0);
    }
    CHECK(s.exhausted());
}

TEST_CASE("header writes stay inside the contents") {
    RecordStream s = streamOf({0, 0, 0, 0, 0, 0});
    CHECK(s.writeU32At(2, 0x04030201));
    CHECK(s.writeU16At(0, 0xBEEF));
    CHECK_FALSE(s.writeU32At(3, 1));
    CHECK_FALSE(s.writeU16At(0xFFFFFFFFu, 1));
    CHECK(contentOf(s.contents) == Bytes{0xEF, 0xBE, 1, 2, 3, 4});
}

TEST_CASE("the file envelope: save, load, limits and short files") {
    kpv::test::TempFolder folder;

    RecordStream empty;
    CHECK(kpv::saveDataFile("empty.bin", empty));
    CHECK(kpv::test::readFileBytes("empty.bin") == Bytes{0, 0, 0, 0});
    RecordStream loaded = streamOf({9});
    loaded.cursor = 1;
    CHECK(kpv::loadDataFile("empty.bin", loaded));
    CHECK(loaded.contents.empty());
    CHECK(loaded.cursor == 0);

    kpv::test::writeFileBytes("zero.bin", {});
    CHECK(kpv::loadDataFile("zero.bin", loaded));
    CHECK(loaded.contents.empty());

    // A file of 1 to 3 bytes gives a length of the bytes present: here 2, and nothing follows.
    kpv::test::writeFileBytes("two.bin", {2, 0});
    CHECK_FALSE(kpv::loadDataFile("two.bin", loaded));
    kpv::test::writeFileBytes("zeros.bin", {0, 0, 0});
    CHECK(kpv::loadDataFile("zeros.bin", loaded));

    RecordStream kept = streamOf({1, 2, 3});
    kept.cursor = 2;
    kpv::test::writeFileBytes("over.bin", {0x01, 0x00, 0x00, 0x40, 1, 2});
    CHECK_FALSE(kpv::loadDataFile("over.bin", kept));
    kpv::test::writeFileBytes("short.bin", {5, 0, 0, 0, 1, 2, 3});
    CHECK_FALSE(kpv::loadDataFile("short.bin", kept));
    CHECK(contentOf(kept.contents) == Bytes{1, 2, 3});
    CHECK(kept.cursor == 2);

    kpv::test::writeFileBytes("trailing.bin", {2, 0, 0, 0, 7, 8, 9, 9});
    CHECK(kpv::loadDataFile("trailing.bin", kept));
    CHECK(contentOf(kept.contents) == Bytes{7, 8});

    CHECK_FALSE(kpv::loadDataFile("missing.bin", kept));
}

TEST_CASE("a declared length of exactly 0x40000000 is accepted, one more is refused") {
    kpv::test::TempFolder folder;
    // One whole first chunk follows the length. At the limit it is read (and then the second
    // chunk comes back short); past the limit nothing is read at all.
    for (const auto& [top, expectedDone] : {std::pair{0x40u, 102400u}, std::pair{0x40u, 0u}}) {
        Bytes file(4 + 102400, 0x55);
        file[0] = expectedDone == 0 ? 1 : 0;
        file[1] = file[2] = 0;
        file[3] = static_cast<std::uint8_t>(top);
        kpv::test::writeFileBytes("limit.bin", file);
        kpv::TransferProgress progress;
        RecordStream s;
        s.progress = &progress;
        CHECK_FALSE(kpv::loadDataFile("limit.bin", s));
        CHECK(progress.bytesDone == expectedDone);
    }
}

TEST_CASE("files move in chunks of 102400 bytes") {
    kpv::test::TempFolder folder;
    for (std::size_t size : {std::size_t(2 * 102400), std::size_t(2 * 102400 + 1)}) {
        CAPTURE(size);
        const Bytes data = pattern(size);
        RecordStream out(SecureBuffer::ofBytes(data.data(), static_cast<std::uint32_t>(size)));
        kpv::TransferProgress progress;
        out.progress = &progress;
        REQUIRE(kpv::saveDataFile("big.bin", out));
        CHECK(progress.bytesDone == size);
        CHECK(kpv::test::readFileBytes("big.bin").size() == size + 4);

        RecordStream in;
        kpv::TransferProgress inProgress;
        in.progress = &inProgress;
        REQUIRE(kpv::loadDataFile("big.bin", in));
        CHECK(contentOf(in.contents) == data);
        CHECK(inProgress.bytesDone == size);

        // A cancel is honoured after the first chunk; the save then leaves nothing behind.
        kpv::TransferProgress cancel;
        cancel.cancel = 1;
        out.progress = &cancel;
        CHECK_FALSE(kpv::saveDataFile("cut.bin", out));
        CHECK(out.writeFailed == 0);
        CHECK_FALSE(kpv::test::fileExists("cut.bin"));
        CHECK(std::distance(std::filesystem::directory_iterator("."),
                            std::filesystem::directory_iterator()) == 1); // big.bin alone

        RecordStream refused = streamOf({1});
        refused.progress = &cancel;
        CHECK_FALSE(kpv::loadDataFile("big.bin", refused));
        CHECK(contentOf(refused.contents) == Bytes{1});
    }
}

TEST_CASE("a durable save replaces the file only when it was written whole") {
    kpv::test::TempFolder folder;
    RecordStream first = streamOf({1, 2, 3});
    REQUIRE(kpv::saveDataFile("data.bin", first));
    CHECK(kpv::test::readFileBytes("data.bin") == Bytes{3, 0, 0, 0, 1, 2, 3});
    CHECK(std::distance(std::filesystem::directory_iterator("."),
                        std::filesystem::directory_iterator()) == 1); // no temporary is left

    // The old temporary name is an ordinary file now: it is neither emptied nor moved.
    std::filesystem::create_directory("data.bin.tmp");
    kpv::test::writeFileBytes("data.bin.tmp/keep", {9});
    RecordStream second = streamOf({4, 5});
    CHECK(kpv::saveDataFile("data.bin", second));
    CHECK(kpv::test::readFileBytes("data.bin") == Bytes{2, 0, 0, 0, 4, 5});
    CHECK(kpv::test::readFileBytes("data.bin.tmp/keep") == Bytes{9});

    // No temporary can be made where the folder is missing: the save fails cleanly.
    CHECK_FALSE(kpv::saveDataFile("missing-folder/data.bin", second));
}

TEST_CASE("streams wipe what they held") {
    kpv::test::TempFolder folder;
    kpv::test::ReleaseProbe probe;
    {
        RecordStream s;
        for (std::uint32_t i = 0; i < 1000; ++i)
            s.appendU32(0xFFFFFFFF - i);
        s.appendBlob(SecureBuffer::fromCString("secret"));
        REQUIRE(kpv::saveDataFile("s.bin", s));
        RecordStream t;
        REQUIRE(kpv::loadDataFile("s.bin", t));
        (void)t.readBlob();
    }
    CHECK(probe.blocksReleased() > 0);
    CHECK(probe.dirtyBlocks() == 0);
}
