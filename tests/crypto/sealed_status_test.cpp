#include "crypto/aes_cipher.h"
#include "crypto/crypto_paths.h"
#include "crypto/hmac_sha256.h"
#include "crypto/key_bundle.h"
#include "crypto/sealed_status.h"
#include "crypto_expected.h"
#include "tests/crypto/hex.h"
#include "tests/support/release_probe.h"
#include "tests/support/status_sealer.h"

#include <doctest/doctest.h>

#include <string>

using kpv::deriveKeyBundle;
using kpv::KeyBundle;
using kpv::openSealedStatus;
using kpv::SecureBuffer;
using kpv::test::fromHex;
using kpv::test::fromText;
using kpv::test::sealStatus;
using kpv::test::toHex;

namespace expected = kpv::test::expected;

namespace {

const std::uint8_t IV[16] = {0xa0, 0xa1, 0xa2, 0xa3, 0xa4, 0xa5, 0xa6, 0xa7,
                             0xa8, 0xa9, 0xaa, 0xab, 0xac, 0xad, 0xae, 0xaf};

SecureBuffer secretOf(std::uint32_t length, std::uint8_t seed = 1) {
    SecureBuffer secret = SecureBuffer::zeros(length);
    for (std::uint32_t i = 0; i < length; ++i)
        secret.data()[i] = static_cast<std::uint8_t>(seed + 13 * i);
    return secret;
}

SecureBuffer statusRecord(std::uint32_t length) {
    SecureBuffer record = SecureBuffer::zeros(length);
    for (std::uint32_t i = 0; i < length; ++i)
        record.data()[i] = static_cast<std::uint8_t>(0x30 + i % 40);
    return record;
}

// A payload whose tag is right under `secret`, whatever its content.
SecureBuffer tagFor(const SecureBuffer& payload, const SecureBuffer& secret) {
    const KeyBundle bundle = deriveKeyBundle(secret);
    SecureBuffer macKey;
    REQUIRE(bundle.keyAt(1, macKey));
    kpv::HmacSha256 mac(macKey);
    return mac.compute(payload);
}

} // namespace

TEST_CASE("key bundle: known answers from AES-ECB of the counter blocks") {
    for (const expected::BundleCase& c : expected::BUNDLE_CASES) {
        const SecureBuffer secret = fromHex(c.secretHex);
        CAPTURE(secret.length());
        const KeyBundle bundle = deriveKeyBundle(secret);
        CHECK(bundle.keyCount == 2);
        CHECK(toHex(bundle.material) == c.materialHex);
        SecureBuffer key;
        REQUIRE(bundle.keyAt(0, key));
        CHECK(toHex(key) == std::string(c.materialHex).substr(0, 64));
        REQUIRE(bundle.keyAt(1, key));
        CHECK(toHex(key) == std::string(c.materialHex).substr(64));
    }
}

TEST_CASE("key bundle: keys and failures") {
    SUBCASE("key 0 and key 1 of one secret differ; keyAt(2) fails empty") {
        const KeyBundle bundle = deriveKeyBundle(secretOf(32));
        SecureBuffer key0, key1, key2 = fromText("left over");
        REQUIRE(bundle.keyAt(0, key0));
        REQUIRE(bundle.keyAt(1, key1));
        CHECK_FALSE(key0.equals(key1));
        CHECK_FALSE(bundle.keyAt(2, key2));
        CHECK(key2.empty());
    }
    SUBCASE("secrets of 16, 24 and 32 bytes give different keys") {
        const KeyBundle a = deriveKeyBundle(secretOf(16));
        const KeyBundle b = deriveKeyBundle(secretOf(24));
        const KeyBundle c = deriveKeyBundle(secretOf(32));
        CHECK(a.material.length() == 64);
        CHECK_FALSE(a.material.equals(b.material));
        CHECK_FALSE(b.material.equals(c.material));
        CHECK_FALSE(a.material.equals(c.material));
    }
    SUBCASE("other secret lengths give empty material") {
        for (std::uint32_t length : {0u, 1u, 15u, 20u, 33u, 64u}) {
            CAPTURE(length);
            const KeyBundle bundle = deriveKeyBundle(secretOf(length));
            CHECK(bundle.material.empty());
            SecureBuffer key = fromText("left over");
            CHECK_FALSE(bundle.keyAt(0, key));
            CHECK(key.empty());
        }
    }
}

TEST_CASE("sealed status: known answers sealed with the openssl command") {
    for (const expected::SealedCase& c : expected::SEALED_CASES) {
        const SecureBuffer secret = fromHex(c.secretHex);
        const SecureBuffer plaintext = fromHex(c.plaintextHex);
        CAPTURE(secret.length());
        CAPTURE(plaintext.length());
        SecureBuffer payload = fromHex(c.payloadHex);
        REQUIRE(openSealedStatus(payload, secret, fromHex(c.tagHex)));
        CHECK(toHex(payload) == c.plaintextHex);

        // The test sealer produces the same bytes.
        const kpv::test::SealedStatus sealed = sealStatus(plaintext, secret, IV);
        CHECK(toHex(sealed.payload) == c.payloadHex);
        CHECK(toHex(sealed.tag) == c.tagHex);
    }
}

TEST_CASE("sealed status: opening") {
    const SecureBuffer secret = secretOf(32);
    const SecureBuffer record = statusRecord(100);
    const kpv::test::SealedStatus sealed = sealStatus(record, secret, IV);
    REQUIRE(sealed.payload.length() == 16 + 112);

    SUBCASE("a correctly sealed status opens, twice alike") {
        SecureBuffer first = sealed.payload;
        SecureBuffer second = sealed.payload;
        CHECK(openSealedStatus(first, secret, sealed.tag));
        CHECK(openSealedStatus(second, secret, sealed.tag));
        CHECK(first.equals(record));
        CHECK(second.equals(record));
    }
    SUBCASE("secret and tag are not changed") {
        const SecureBuffer secretBefore = secret;
        const SecureBuffer tagBefore = sealed.tag;
        SecureBuffer payload = sealed.payload;
        CHECK(openSealedStatus(payload, secret, sealed.tag));
        CHECK(secret.equals(secretBefore));
        CHECK(sealed.tag.equals(tagBefore));
    }
    SUBCASE("every changed byte of vector, ciphertext or tag is rejected") {
        for (std::uint32_t i = 0; i < sealed.payload.length(); ++i) {
            SecureBuffer payload = sealed.payload;
            payload.data()[i] ^= 0x01;
            const SecureBuffer before = payload;
            CAPTURE(i);
            CHECK_FALSE(openSealedStatus(payload, secret, sealed.tag));
            CHECK(payload.equals(before));
        }
        for (std::uint32_t i = 0; i < 32; ++i) {
            SecureBuffer tag = sealed.tag;
            tag.data()[i] ^= 0x80;
            SecureBuffer payload = sealed.payload;
            CAPTURE(i);
            CHECK_FALSE(openSealedStatus(payload, secret, tag));
            CHECK(payload.equals(sealed.payload));
        }
    }
    SUBCASE("a tag of 31 or 33 bytes, or an empty tag, fails") {
        SecureBuffer longer = sealed.tag;
        longer.appendZeros(1);
        for (const SecureBuffer& tag : {sealed.tag.slice(0, 31), longer, SecureBuffer()}) {
            SecureBuffer payload = sealed.payload;
            CHECK_FALSE(openSealedStatus(payload, secret, tag));
            CHECK(payload.equals(sealed.payload));
        }
    }
    SUBCASE("a secret of 20 bytes fails; another secret of the right length fails") {
        SecureBuffer payload = sealed.payload;
        CHECK_FALSE(openSealedStatus(payload, secretOf(20), sealed.tag));
        CHECK_FALSE(openSealedStatus(payload, secretOf(32, 2), sealed.tag));
        CHECK_FALSE(openSealedStatus(payload, {}, sealed.tag));
        CHECK(payload.equals(sealed.payload));
    }
}

TEST_CASE("sealed status: secret lengths and record lengths") {
    for (std::uint32_t secretLength : {16u, 24u, 32u}) {
        const SecureBuffer secret = secretOf(secretLength);
        for (std::uint32_t length = 0; length <= 48; ++length) {
            const SecureBuffer record = statusRecord(length);
            const kpv::test::SealedStatus sealed = sealStatus(record, secret, IV);
            CAPTURE(secretLength);
            CAPTURE(length);
            CHECK(sealed.payload.length() == 16 + (length / 16 + 1) * 16);
            SecureBuffer payload = sealed.payload;
            CHECK(openSealedStatus(payload, secret, sealed.tag));
            CHECK(payload.equals(record));
        }
    }
    SUBCASE("the sealer refuses a secret of the wrong length") {
        const kpv::test::SealedStatus sealed = sealStatus(statusRecord(10), secretOf(20), IV);
        CHECK(sealed.payload.empty());
        CHECK(sealed.tag.empty());
    }
}

TEST_CASE("sealed status: correctly tagged payloads that cannot be opened") {
    const SecureBuffer secret = secretOf(24);
    auto opens = [&](SecureBuffer payload) {
        const SecureBuffer tag = tagFor(payload, secret);
        const SecureBuffer before = payload;
        const bool opened = openSealedStatus(payload, secret, tag);
        if (!opened)
            CHECK(payload.equals(before)); // unchanged on every failure
        return opened;
    };
    CHECK_FALSE(opens(SecureBuffer()));
    CHECK_FALSE(opens(SecureBuffer::ofBytes(IV, 10))); // shorter than the vector
    CHECK_FALSE(opens(SecureBuffer::ofBytes(IV, 16))); // the vector only
    CHECK_FALSE(opens(SecureBuffer::zeros(16 + 20)));  // not whole blocks
    SUBCASE("a final padding byte above 16") {
        const KeyBundle bundle = deriveKeyBundle(secret);
        SecureBuffer key0;
        REQUIRE(bundle.keyAt(0, key0));
        auto sealedBlockEndingIn = [&](std::uint8_t last) {
            SecureBuffer block = SecureBuffer::zeros(16);
            block.data()[15] = last;
            for (std::uint32_t i = 0; i < 16; ++i)
                block.data()[i] ^= IV[i];
            kpv::AesCipher(key0).encryptBlock(block.data());
            SecureBuffer payload = SecureBuffer::ofBytes(IV, 16);
            payload.append(block);
            return payload;
        };
        CHECK(opens(sealedBlockEndingIn(16)));
        CHECK_FALSE(opens(sealedBlockEndingIn(17)));
        CHECK_FALSE(opens(sealedBlockEndingIn(255)));
    }
}

TEST_CASE("sealed status: an empty record in a padding-only block") {
    const SecureBuffer secret = secretOf(32);
    const kpv::test::SealedStatus sealed = sealStatus({}, secret, IV);
    REQUIRE(sealed.payload.length() == 32); // its one plaintext block ends in 16
    SecureBuffer payload = sealed.payload;
    CHECK(openSealedStatus(payload, secret, sealed.tag));
    CHECK(payload.empty());
}

TEST_CASE("sealed status: every temporary goes back wiped") {
    const SecureBuffer secret = secretOf(32);
    const kpv::test::SealedStatus sealed = sealStatus(statusRecord(100), secret, IV);
    SUBCASE("on success") {
        kpv::test::ReleaseProbe probe;
        {
            SecureBuffer payload = sealed.payload;
            REQUIRE(openSealedStatus(payload, secret, sealed.tag));
        }
        // Two ciphers with their round keys (at least 480 bytes each), the bundle, both pads,
        // the digests, the ciphertext copy and the payload.
        CHECK(probe.blocksReleased() >= 2 + 1 + 2 + 2 + 1);
        CHECK(probe.bytesReleased() >= 2 * 480 + 64 + 2 * 32 + 2 * 64);
        CHECK(probe.dirtyBlocks() == 0);
    }
    SUBCASE("on a tag mismatch") {
        SecureBuffer tag = sealed.tag;
        tag.data()[0] ^= 1;
        kpv::test::ReleaseProbe probe;
        {
            SecureBuffer payload = sealed.payload;
            REQUIRE_FALSE(openSealedStatus(payload, secret, tag));
        }
        // The derivation cipher, the bundle and both pads at least.
        CHECK(probe.blocksReleased() >= 1 + 1 + 2);
        CHECK(probe.bytesReleased() >= 480 + 64 + 2 * 64);
        CHECK(probe.dirtyBlocks() == 0);
    }
    SUBCASE("the bundle's material on destruction") {
        kpv::test::ReleaseProbe probe;
        { const KeyBundle bundle = deriveKeyBundle(secret); }
        // The cipher's round keys (both 240-byte schedules, or the bit-sliced planes) and the
        // 64 bytes of material.
        const std::uint32_t roundKeys =
            kpv::crypto::aesPath() == kpv::crypto::AesPath::Hardware ? 2 * 240 : 15 * 128;
        CHECK(probe.blocksReleased() == 2);
        CHECK(probe.bytesReleased() == roundKeys + 64);
    }
}
