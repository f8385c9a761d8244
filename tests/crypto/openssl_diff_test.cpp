// Differential tests against OpenSSL: random keys, messages of every length, payloads sealed
// by OpenSSL. Native builds only.
#include "crypto/aes_cipher.h"
#include "crypto/hmac_sha256.h"
#include "crypto/key_bundle.h"
#include "crypto/sealed_status.h"
#include "crypto/sha256.h"
#include "tests/crypto/openssl_reference.h"
#include "tests/support/hex.h"
#include "tests/support/status_sealer.h"

#include <doctest/doctest.h>

#include <random>

namespace ref = kpv::reference;
using kpv::SecureBuffer;
using ref::Bytes;

namespace {

std::mt19937& rng() {
    static std::mt19937 generator(20240611);
    return generator;
}

Bytes randomBytes(std::size_t n) {
    std::uniform_int_distribution<int> byte(0, 255);
    Bytes out(n);
    for (auto& b : out)
        b = static_cast<std::uint8_t>(byte(rng()));
    return out;
}

std::size_t randomBelow(std::size_t n) {
    return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng());
}

SecureBuffer buffer(const Bytes& b) {
    return SecureBuffer::ofBytes(b.data(), static_cast<std::uint32_t>(b.size()));
}

Bytes bytes(const SecureBuffer& b) {
    return Bytes(b.data(), b.data() + b.length());
}

const std::size_t KEY_LENGTHS[] = {16, 24, 32};

} // namespace

TEST_CASE("openssl: the published SHA-256 vectors agree with OpenSSL") {
    // The vector tables elsewhere hold published digests; OpenSSL confirms them here.
    const Bytes abc = {'a', 'b', 'c'};
    CHECK(kpv::test::toHex(buffer(ref::standardDigest(abc.data(), 3))) ==
          "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    CHECK(kpv::test::toHex(buffer(ref::digest(abc.data(), 3))) ==
          kpv::test::wordOrder("ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"));
}

TEST_CASE("openssl: sha256 of every length 0..300, whole and in random pieces") {
    for (std::size_t length = 0; length <= 300; ++length) {
        const Bytes message = randomBytes(length);
        const Bytes expected = ref::digest(message.data(), length);
        CAPTURE(length);
        kpv::Sha256 whole;
        whole.update(message.data(), static_cast<std::uint32_t>(length));
        CHECK(bytes(whole.digest()) == expected);
        kpv::Sha256 pieces;
        for (std::size_t at = 0; at < length;) {
            const std::size_t piece = std::min(length - at, randomBelow(80) + 1);
            pieces.update(message.data() + at, static_cast<std::uint32_t>(piece));
            at += piece;
        }
        CHECK(bytes(pieces.digest()) == expected);
    }
    SUBCASE("a few long messages") {
        for (std::size_t length : {1000u, 4096u, 65537u}) {
            const Bytes message = randomBytes(length);
            kpv::Sha256 hash;
            hash.update(message.data(), static_cast<std::uint32_t>(length));
            CHECK(bytes(hash.digest()) == ref::digest(message.data(), length));
        }
    }
}

TEST_CASE("openssl: hmac for random keys of 16..64 bytes and messages of 0..200 bytes") {
    for (std::size_t length = 0; length <= 200; ++length) {
        for (int round = 0; round < 3; ++round) {
            const Bytes key = randomBytes(16 + randomBelow(49));
            const Bytes message = randomBytes(length);
            const Bytes expected = ref::tag(key, message.data(), length);
            kpv::HmacSha256 mac(buffer(key));
            CAPTURE(length);
            CAPTURE(key.size());
            CHECK(bytes(mac.compute(buffer(message))) == expected);
            CHECK(mac.verify(buffer(message), buffer(expected)));
        }
    }
}

TEST_CASE("openssl: single blocks under thousands of random keys") {
    for (int round = 0; round < 3000; ++round) {
        const Bytes key = randomBytes(KEY_LENGTHS[round % 3]);
        const Bytes block = randomBytes(16);
        kpv::AesCipher cipher(buffer(key));
        REQUIRE(cipher.valid());
        Bytes forward = block;
        cipher.encryptBlock(forward.data());
        CHECK(forward == ref::encryptBlock(key, block));
        Bytes backward = block;
        cipher.decryptBlock(backward.data());
        CHECK(backward == ref::decryptBlock(key, block));
    }
}

TEST_CASE("openssl: CBC decryption of random data under random keys") {
    for (int round = 0; round < 600; ++round) {
        const Bytes key = randomBytes(KEY_LENGTHS[round % 3]);
        const Bytes iv = randomBytes(16);
        Bytes plaintext = randomBytes(16 * (1 + randomBelow(12)));
        plaintext.back() = static_cast<std::uint8_t>(randomBelow(17)); // 0..16: accepted
        const Bytes ciphertext = ref::cbcEncrypt(key, iv, plaintext);
        REQUIRE(ref::cbcDecrypt(key, iv, ciphertext) == plaintext);

        kpv::AesCipher cipher(buffer(key));
        SecureBuffer data = buffer(ciphertext);
        cipher.setIv(iv.data());
        REQUIRE(cipher.decryptCbc(data));
        const std::size_t padding = plaintext.back();
        Bytes expected = plaintext;
        expected.resize(padding >= expected.size() ? 0 : expected.size() - padding);
        CHECK(bytes(data) == expected);
    }
}

TEST_CASE("openssl: key bundles of random secrets") {
    for (int round = 0; round < 1500; ++round) {
        const Bytes secret = randomBytes(KEY_LENGTHS[round % 3]);
        const kpv::KeyBundle bundle = kpv::deriveKeyBundle(buffer(secret));
        CHECK(bytes(bundle.material) == ref::keyBundle(secret));
    }
}

TEST_CASE("openssl: payloads sealed by OpenSSL open, and every tampered byte is rejected") {
    for (std::size_t length = 0; length <= 200; ++length) {
        const Bytes secret = randomBytes(KEY_LENGTHS[length % 3]);
        const Bytes iv = randomBytes(16);
        const Bytes plaintext = randomBytes(length);
        const ref::Sealed sealed = ref::seal(plaintext, secret, iv);
        CAPTURE(length);

        SecureBuffer payload = buffer(sealed.payload);
        REQUIRE(kpv::openSealedStatus(payload, buffer(secret), buffer(sealed.tag)));
        CHECK(bytes(payload) == plaintext);

        // The portable test sealer makes the same bytes as OpenSSL.
        const kpv::test::SealedStatus ours =
            kpv::test::sealStatus(buffer(plaintext), buffer(secret), iv.data());
        CHECK(bytes(ours.payload) == sealed.payload);
        CHECK(bytes(ours.tag) == sealed.tag);

        if (length % 25 != 0)
            continue; // the exhaustive tampering below runs on a spread of lengths
        for (std::size_t i = 0; i < sealed.payload.size(); ++i) {
            Bytes changed = sealed.payload;
            changed[i] ^= static_cast<std::uint8_t>(1 + randomBelow(255));
            SecureBuffer tampered = buffer(changed);
            CAPTURE(i);
            CHECK_FALSE(kpv::openSealedStatus(tampered, buffer(secret), buffer(sealed.tag)));
            CHECK(bytes(tampered) == changed);
        }
        for (std::size_t i = 0; i < sealed.tag.size(); ++i) {
            Bytes changed = sealed.tag;
            changed[i] ^= static_cast<std::uint8_t>(1 + randomBelow(255));
            SecureBuffer untouched = buffer(sealed.payload);
            CHECK_FALSE(kpv::openSealedStatus(untouched, buffer(secret), buffer(changed)));
            CHECK(bytes(untouched) == sealed.payload);
        }
    }
}

TEST_CASE("openssl: the reference opener agrees with openSealedStatus on random input") {
    ref::Opener opener;
    for (int round = 0; round < 2000; ++round) {
        const Bytes secret = randomBytes(KEY_LENGTHS[round % 3]);
        // Random payloads with a correct tag reach the padding rule; some have a wrong tag.
        const Bytes payload = randomBytes(16 * randomBelow(6) + (round % 7 == 0 ? 5 : 0));
        const Bytes material = ref::keyBundle(secret);
        Bytes tag =
            ref::tag(Bytes(material.begin() + 32, material.end()), payload.data(), payload.size());
        if (round % 5 == 0)
            tag[randomBelow(32)] ^= 0x20;
        Bytes expected;
        const bool referenceOpened = opener.open(payload, secret, tag, expected);
        SecureBuffer ours = buffer(payload);
        const bool opened = kpv::openSealedStatus(ours, buffer(secret), buffer(tag));
        CAPTURE(round);
        CHECK(opened == referenceOpened);
        CHECK(bytes(ours) == (opened ? expected : payload));
    }
}
