#include "crypto/hmac_sha256.h"
#include "crypto_expected.h"
#include "tests/crypto/hex.h"
#include "tests/support/release_probe.h"

#include <doctest/doctest.h>

#include <string>

using kpv::HmacSha256;
using kpv::SecureBuffer;
using kpv::test::fromHex;
using kpv::test::fromText;
using kpv::test::toHex;

namespace expected = kpv::test::expected;

namespace {

SecureBuffer keyOf(std::uint32_t length) {
    SecureBuffer key = SecureBuffer::zeros(length);
    for (std::uint32_t i = 0; i < length; ++i)
        key.data()[i] = static_cast<std::uint8_t>(0x40 + i);
    return key;
}

} // namespace

TEST_CASE("hmac: RFC 4231 cases in this system's digest order") {
    // Expected tags come from hashlib's SHA-256 with the word-order rule applied to both
    // digests; cases 2, 6 and 7 have keys of 4 and 131 bytes, which this HMAC refuses.
    for (const expected::HmacCase& c : expected::RFC4231_CASES) {
        CAPTURE(c.name);
        HmacSha256 mac(fromHex(c.keyHex));
        const SecureBuffer message = fromHex(c.messageHex);
        const std::string tagHex = c.tagHex;
        if (tagHex.empty()) {
            CHECK(mac.keyRejected());
            CHECK(mac.compute(message).empty());
            CHECK_FALSE(mac.verify(message, SecureBuffer::zeros(32)));
        } else {
            CHECK_FALSE(mac.keyRejected());
            CHECK(toHex(mac.compute(message)) == tagHex);
            CHECK(mac.verify(message, fromHex(c.tagHex)));
        }
    }
}

TEST_CASE("hmac: key lengths") {
    const SecureBuffer message = fromText("status");
    SUBCASE("15 and 65 bytes are rejected and verify nothing") {
        for (std::uint32_t length : {0u, 1u, 15u, 65u, 131u}) {
            CAPTURE(length);
            HmacSha256 mac(keyOf(length));
            CHECK(mac.keyRejected());
            CHECK(mac.compute(message).empty());
            CHECK_FALSE(mac.verify(message, SecureBuffer::zeros(32)));
            CHECK_FALSE(mac.verify({}, {}));
        }
    }
    SUBCASE("16 and 64 bytes are accepted") {
        for (std::uint32_t length : {16u, 32u, 64u}) {
            CAPTURE(length);
            HmacSha256 mac(keyOf(length));
            CHECK_FALSE(mac.keyRejected());
            CHECK(mac.compute(message).length() == 32);
        }
    }
    SUBCASE("a key is zero-extended: a trailing zero byte changes nothing") {
        SecureBuffer longer = keyOf(20);
        longer.appendZeros(1);
        HmacSha256 a(keyOf(20));
        HmacSha256 b(longer);
        CHECK(a.compute(message).equals(b.compute(message)));
    }
}

TEST_CASE("hmac: verify compares the whole tag") {
    HmacSha256 mac(keyOf(32));
    const SecureBuffer message = fromText("a sealed status");
    const SecureBuffer tag = mac.compute(message);
    REQUIRE(tag.length() == 32);
    CHECK(mac.verify(message, tag));
    CHECK_FALSE(mac.verify(message, tag.slice(0, 31)));
    SecureBuffer longer = tag;
    longer.appendZeros(1);
    CHECK_FALSE(mac.verify(message, longer));
    CHECK_FALSE(mac.verify(message, {}));
    for (std::uint32_t i = 0; i < 32; ++i) {
        SecureBuffer changed = tag;
        changed.data()[i] ^= 0x01;
        CAPTURE(i);
        CHECK_FALSE(mac.verify(message, changed));
    }
    SecureBuffer otherMessage = message;
    otherMessage.data()[0] ^= 0x80;
    CHECK_FALSE(mac.verify(otherMessage, tag));
}

TEST_CASE("hmac: the same object computes the same tag again") {
    HmacSha256 mac(keyOf(16));
    const SecureBuffer message = fromText("twice");
    CHECK(mac.compute(message).equals(mac.compute(message)));
}

TEST_CASE("hmac: a cancelled inner hash gives no tag") {
    kpv::TransferProgress progress;
    progress.cancel = 1;
    HmacSha256 mac(keyOf(16));
    mac.progress = &progress;
    CHECK(mac.compute(SecureBuffer::zeros(200)).empty());
    CHECK_FALSE(mac.verify(SecureBuffer::zeros(200), SecureBuffer::zeros(32)));
}

TEST_CASE("hmac: the pads and digests go back wiped") {
    const SecureBuffer key = keyOf(32);
    const SecureBuffer message = fromText("wiped");
    kpv::test::ReleaseProbe probe;
    {
        HmacSha256 mac(key);
        (void)mac.compute(message);
    }
    // Two 64-byte pads, the inner digest and the tag, at least.
    CHECK(probe.blocksReleased() >= 4);
    CHECK(probe.bytesReleased() >= 2 * 64 + 2 * 32);
    CHECK(probe.dirtyBlocks() == 0);
}
