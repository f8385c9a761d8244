#include "core/data_file.h"
#include "core/secure_buffer.h"
#include "tests/support/release_probe.h"
#include "tests/support/secure_heap_watch.h"
#include "tests/support/temp_folder.h"

#include <doctest/doctest.h>

#include <string>
#include <vector>

using kpv::SecureBuffer;

namespace {

SecureBuffer bytes(std::vector<std::uint8_t> v) {
    return SecureBuffer::ofBytes(v.data(), static_cast<std::uint32_t>(v.size()));
}

std::vector<std::uint8_t> contentOf(const SecureBuffer& b) {
    return {b.data(), b.data() + b.length()};
}

// Records every call so that the hook's contract can be checked.
struct RecordingHook final : kpv::BufferErrorHook {
    std::vector<std::string> calls;
    void indexOutOfRange(std::uint32_t length, std::uint32_t index) override {
        calls.push_back("index " + std::to_string(length) + " " + std::to_string(index));
    }
    void sizeOverflow(std::uint32_t current, std::uint32_t added, std::uint32_t code) override {
        calls.push_back("overflow " + std::to_string(current) + " " + std::to_string(added) + " " +
                        std::to_string(code));
    }
    void allocationFailed(std::uint32_t size, std::uint32_t code) override {
        calls.push_back("failed " + std::to_string(size) + " " + std::to_string(code));
    }
    void allocationRetry(std::uint32_t size, std::uint32_t attempt) override {
        calls.push_back("retry " + std::to_string(size) + " " + std::to_string(attempt));
    }
};

struct HookInstalled {
    RecordingHook hook;
    HookInstalled() { kpv::setBufferErrorHook(&hook); }
    ~HookInstalled() {
        kpv::setBufferErrorHook(nullptr);
        kpv::test::failNextAllocations(0);
    }
};

} // namespace

TEST_CASE("equality compares lengths, then every byte") {
    CHECK(SecureBuffer().equals(SecureBuffer()));
    CHECK_FALSE(bytes({1, 2}).equals(bytes({1, 2, 3})));
    CHECK_FALSE(bytes({1, 2, 3}).equals(bytes({1, 2, 4})));
    CHECK_FALSE(bytes({9, 2, 3}).equals(bytes({1, 2, 3})));
    CHECK(bytes({1, 2, 3}).equals(bytes({1, 2, 3})));
}

TEST_CASE("eraseFront removes a prefix only when it can") {
    SecureBuffer sixteen = SecureBuffer::zeros(16);
    CHECK(sixteen.eraseFront(16));
    CHECK(sixteen.empty());
    CHECK(sixteen.data() == nullptr);

    SecureBuffer ten = bytes({0, 1, 2, 3, 4, 5, 6, 7, 8, 9});
    CHECK_FALSE(ten.eraseFront(16));
    CHECK_FALSE(ten.eraseFront(0));
    CHECK(ten.length() == 10);
    CHECK(ten.eraseFront(4));
    CHECK(contentOf(ten) == std::vector<std::uint8_t>{4, 5, 6, 7, 8, 9});

    SecureBuffer none;
    CHECK(none.eraseFront(0));
}

TEST_CASE("dropBack and resize keep the front") {
    SecureBuffer one = bytes({7});
    one.dropBack(1);
    CHECK(one.empty());
    CHECK(one.data() == nullptr);

    SecureBuffer b = bytes({1, 2, 3, 4});
    b.dropBack(0);
    CHECK(b.length() == 4);
    b.dropBack(3);
    CHECK(contentOf(b) == std::vector<std::uint8_t>{1});
    b.resize(3);
    CHECK(contentOf(b) == std::vector<std::uint8_t>{1, 0, 0}); // grown bytes read as zero
    b.dropBack(99);
    CHECK(b.empty());
}

TEST_CASE("slice clips to the bytes present") {
    const SecureBuffer ten = bytes({0, 1, 2, 3, 4, 5, 6, 7, 8, 9});
    CHECK(contentOf(ten.slice(4, 100)) == std::vector<std::uint8_t>{4, 5, 6, 7, 8, 9});
    CHECK(ten.slice(10, 1).empty());
    CHECK(ten.slice(0, 0).empty());
    CHECK(ten.slice(0xFFFFFFFFu, 0xFFFFFFFFu).empty());
    CHECK(contentOf(ten.slice(9, 0xFFFFFFFFu)) == std::vector<std::uint8_t>{9});
    CHECK(ten.length() == 10);
}

TEST_CASE("texts carry their zero byte") {
    CHECK(contentOf(SecureBuffer::fromCString("")) == std::vector<std::uint8_t>{0});
    CHECK(SecureBuffer::fromCString(nullptr).empty());
    CHECK(contentOf(SecureBuffer::fromCString("ab")) == std::vector<std::uint8_t>{'a', 'b', 0});
    SecureBuffer text = bytes({1, 2});
    text.setEmptyText();
    CHECK(contentOf(text) == std::vector<std::uint8_t>{0});
}

TEST_CASE("printable texts have no control characters and one final zero") {
    const std::vector<std::pair<std::vector<std::uint8_t>, std::vector<std::uint8_t>>> cases = {
        {{}, {0}},
        {{0x61, 0x62}, {0x61, 0x62, 0}},
        {{0x61, 0x00, 0x62}, {0x61, 0x20, 0x62, 0}},
        {{0x61, 0x62, 0x00}, {0x61, 0x62, 0}},
        {{0x0A}, {0x20, 0}},
        {{0x41, 0x09, 0x42, 0x7F}, {0x41, 0x20, 0x42, 0x20, 0}},
        {{0xE5, 0xE4, 0xF6, 0x80}, {0xE5, 0xE4, 0xF6, 0x80, 0}},
    };
    for (const auto& [input, expected] : cases) {
        const SecureBuffer source = bytes(input);
        CHECK(contentOf(source.printableCopy()) == expected);
        CHECK(contentOf(source) == input); // the source is unchanged
        SecureBuffer inPlace = bytes(input);
        inPlace.makePrintable();
        CHECK(contentOf(inPlace) == expected);
    }
}

TEST_CASE("copies are deep and appends extend") {
    SecureBuffer a = bytes({1, 2});
    SecureBuffer b = a;
    b.at(0) = 9;
    CHECK(a.at(0) == 1);
    CHECK(b.data() != a.data());

    SecureBuffer c;
    c.append(a);
    c.append(b);
    c.appendZeros(2);
    CHECK(contentOf(c) == std::vector<std::uint8_t>{1, 2, 9, 2, 0, 0});
    c.append(c.data() + 2, 2); // from inside itself, across a move of the block
    CHECK(contentOf(c) == std::vector<std::uint8_t>{1, 2, 9, 2, 0, 0, 9, 2});
    CHECK(contentOf(SecureBuffer::concat(a, b)) == std::vector<std::uint8_t>{1, 2, 9, 2});
    CHECK(SecureBuffer::concat(SecureBuffer(), SecureBuffer()).empty());
}

TEST_CASE("a long run of appends keeps the exact length and content") {
    SecureBuffer b;
    for (std::uint32_t i = 0; i < 100000; ++i) {
        const auto byte = static_cast<std::uint8_t>(i * 7);
        b.append(&byte, 1);
    }
    REQUIRE(b.length() == 100000);
    bool same = true;
    for (std::uint32_t i = 0; i < 100000; ++i)
        same = same && b.data()[i] == static_cast<std::uint8_t>(i * 7);
    CHECK(same);
}

TEST_CASE("failures without a hook throw the integer 0") {
    SecureBuffer b = bytes({1});
    CHECK_THROWS_AS(b.at(1), int);
    try {
        b.at(5);
    } catch (int value) {
        CHECK(value == 0);
    }
    kpv::test::failNextAllocations(6);
    CHECK_THROWS_AS(SecureBuffer::zeros(8), int);
    kpv::test::failNextAllocations(0);
}

TEST_CASE("the error hook sees overflows, index errors and allocation retries") {
    HookInstalled installed;

    SecureBuffer b = bytes({1, 2, 3});
    b.append(b.data(), 0xFFFFFFFFu); // would wrap the 32-bit length
    b.appendZeros(0xFFFFFFFEu);
    CHECK(b.length() == 3);
    SecureBuffer huge;
    huge.resize(0); // nothing to do
    CHECK(installed.hook.calls ==
          std::vector<std::string>{"overflow 3 4294967295 6", "overflow 3 4294967294 5"});

    installed.hook.calls.clear();
    CHECK_THROWS_AS(b.at(3), int); // there is no byte to hand back, even after the hook
    CHECK(installed.hook.calls == std::vector<std::string>{"index 3 3"});

    installed.hook.calls.clear();
    kpv::test::failNextAllocations(3);
    SecureBuffer fresh = SecureBuffer::zeros(5);
    CHECK(fresh.length() == 5);
    CHECK(installed.hook.calls == std::vector<std::string>{"retry 5 0", "retry 5 1", "retry 5 2"});

    installed.hook.calls.clear();
    kpv::test::failNextAllocations(6);
    CHECK_THROWS_AS(SecureBuffer::zeros(5), int);
    CHECK(installed.hook.calls == std::vector<std::string>{"retry 5 0", "retry 5 1", "retry 5 2",
                                                           "retry 5 3", "retry 5 4", "failed 5 2"});
}

TEST_CASE("a growth the hook absorbs is never written into") {
    HookInstalled installed;
    // The doubled block and then the exact one are refused.
    SecureBuffer text = bytes({'A', 'B'});
    kpv::test::failNextAllocations(2);
    text.makePrintable();
    CHECK(contentOf(text) == std::vector<std::uint8_t>{'A', 0}); // still a text, in its block

    kpv::test::TempFolder folder;
    kpv::test::writeFileBytes("ten.bin", {10, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
    kpv::RecordStream stream(bytes({7}));
    kpv::test::failNextAllocations(2);
    CHECK_FALSE(kpv::loadDataFile("ten.bin", stream));
    CHECK(contentOf(stream.contents) == std::vector<std::uint8_t>{7});
    CHECK(installed.hook.calls == std::vector<std::string>{"failed 3 1", "failed 10 1"});
}

TEST_CASE("every block handed back to the heap is all zero") {
    kpv::test::ReleaseProbe probe;
    {
        SecureBuffer secret = bytes({0xDE, 0xAD, 0xBE, 0xEF});
        secret.release();
        CHECK(probe.blocksReleased() == 1);
    }
    {
        // Growth moves the block many times; each old copy must be wiped.
        SecureBuffer growing;
        for (int i = 0; i < 5000; ++i) {
            const std::uint8_t byte = 0xA5;
            growing.append(&byte, 1);
        }
        SecureBuffer shrinking = growing;
        shrinking.dropBack(10);
        CHECK(shrinking.eraseFront(100));
        shrinking.resize(10); // small enough to move to a smaller block
        SecureBuffer printable = growing.printableCopy();
        SecureBuffer assigned = bytes({1, 2, 3});
        assigned.assign(growing);
        assigned = bytes({4, 5});
    }
    CHECK(probe.blocksReleased() > 10);
    CHECK(probe.dirtyBlocks() == 0);
}
