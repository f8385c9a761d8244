#include "crypto/aes_cipher.h"
#include "crypto/crypto_paths.h"
#include "tests/crypto/hex.h"
#include "tests/support/release_probe.h"

#include <doctest/doctest.h>

#include <cstring>
#include <new>
#include <string>

using kpv::AesCipher;
using kpv::SecureBuffer;
using kpv::test::fromHex;
using kpv::test::toHex;

namespace {

struct BlockVector {
    const char* source;
    const char* keyHex;
    const char* plaintextHex;
    const char* ciphertextHex;
};

// FIPS 197, Appendix C.1 to C.3.
const BlockVector FIPS197_VECTORS[] = {
    {"C.1 AES-128", "000102030405060708090a0b0c0d0e0f", "00112233445566778899aabbccddeeff",
     "69c4e0d86a7b0430d8cdb78070b4c55a"},
    {"C.2 AES-192", "000102030405060708090a0b0c0d0e0f1011121314151617",
     "00112233445566778899aabbccddeeff", "dda97ca4864cdfe06eaf70a0ec0d7191"},
    {"C.3 AES-256", "000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f",
     "00112233445566778899aabbccddeeff", "8ea2b7ca516745bfeafc49904b496089"},
};

// NIST SP 800-38A, F.2.5 and F.2.6 (CBC-AES256).
const char* const SP800_38A_KEY =
    "603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4";
const char* const SP800_38A_IV = "000102030405060708090a0b0c0d0e0f";
const char* const SP800_38A_PLAINTEXT = "6bc1bee22e409f96e93d7e117393172a"
                                        "ae2d8a571e03ac9c9eb76fac45af8e51"
                                        "30c81c46a35ce411e5fbc1191a0a52ef"
                                        "f69f2445df4f9b17ad2b417be66c3710";
const char* const SP800_38A_CIPHERTEXT = "f58c4c04d6e5f1ba779eabfb5f7bfbd6"
                                         "9cfc4e967edb808d679f777bc6702c7d"
                                         "39f23369a9d9bacfa530e26304231461"
                                         "b2eb05e2c39be9fcda6c19078c6a9d1b";

const SecureBuffer KEY32 = fromHex(SP800_38A_KEY);

// One block of CBC ciphertext (zero vector) whose plaintext is `plaintext`, made with the
// forward cipher checked against FIPS 197 above.
SecureBuffer encryptOneBlock(const SecureBuffer& plaintext) {
    SecureBuffer block = plaintext;
    AesCipher cipher(KEY32);
    cipher.encryptBlock(block.data());
    return block;
}

SecureBuffer blockEndingIn(std::uint8_t last) {
    SecureBuffer block = fromHex("000102030405060708090a0b0c0d0e00");
    block.data()[15] = last;
    return block;
}

} // namespace

TEST_CASE("aes: FIPS 197 example vectors, both directions") {
    for (const BlockVector& v : FIPS197_VECTORS) {
        CAPTURE(v.source);
        AesCipher cipher(fromHex(v.keyHex));
        REQUIRE(cipher.valid());
        SecureBuffer block = fromHex(v.plaintextHex);
        cipher.encryptBlock(block.data());
        CHECK(toHex(block) == v.ciphertextHex);
        cipher.decryptBlock(block.data());
        CHECK(toHex(block) == v.plaintextHex);
    }
    CHECK(AesCipher(fromHex(FIPS197_VECTORS[0].keyHex)).rounds() == 10);
    CHECK(AesCipher(fromHex(FIPS197_VECTORS[1].keyHex)).rounds() == 12);
    CHECK(AesCipher(fromHex(FIPS197_VECTORS[2].keyHex)).rounds() == 14);
}

TEST_CASE("aes: SP 800-38A CBC-AES256") {
    AesCipher cipher(KEY32);
    SUBCASE("decryption, block by block") {
        const SecureBuffer iv = fromHex(SP800_38A_IV);
        SecureBuffer data = fromHex(SP800_38A_CIPHERTEXT);
        SecureBuffer chain = iv;
        for (std::uint32_t at = 0; at < data.length(); at += 16) {
            const SecureBuffer kept = data.slice(at, 16);
            cipher.decryptBlock(data.data() + at);
            for (std::uint32_t i = 0; i < 16; ++i)
                data.data()[at + i] ^= chain.data()[i];
            chain = kept;
        }
        CHECK(toHex(data) == SP800_38A_PLAINTEXT);
    }
    SUBCASE("decryptCbc: the last plaintext byte 0x10 removes the whole last block") {
        SecureBuffer data = fromHex(SP800_38A_CIPHERTEXT);
        cipher.setIv(fromHex(SP800_38A_IV).data());
        REQUIRE(cipher.decryptCbc(data));
        CHECK(toHex(data) == std::string(SP800_38A_PLAINTEXT).substr(0, 96));
    }
    SUBCASE("encryption with encryptBlock and chaining gives the F.2.5 ciphertext") {
        SecureBuffer data = fromHex(SP800_38A_PLAINTEXT);
        SecureBuffer chain = fromHex(SP800_38A_IV);
        for (std::uint32_t at = 0; at < data.length(); at += 16) {
            for (std::uint32_t i = 0; i < 16; ++i)
                data.data()[at + i] ^= chain.data()[i];
            cipher.encryptBlock(data.data() + at);
            chain = data.slice(at, 16);
        }
        CHECK(toHex(data) == SP800_38A_CIPHERTEXT);
    }
}

TEST_CASE("aes: key lengths") {
    for (std::uint32_t length : {0u, 15u, 17u, 20u, 31u, 33u, 64u}) {
        CAPTURE(length);
        AesCipher cipher(SecureBuffer::zeros(length));
        CHECK_FALSE(cipher.valid());
        SecureBuffer data = fromHex(SP800_38A_CIPHERTEXT);
        cipher.setIv(fromHex(SP800_38A_IV).data());
        CHECK_FALSE(cipher.decryptCbc(data));
        CHECK(toHex(data) == SP800_38A_CIPHERTEXT);
        SecureBuffer block = fromHex("00112233445566778899aabbccddeeff");
        cipher.encryptBlock(block.data()); // no round keys: nothing happens
        CHECK(toHex(block) == "00112233445566778899aabbccddeeff");
    }
}

TEST_CASE("aes: decryptCbc lengths and padding") {
    AesCipher cipher(KEY32);
    SUBCASE("15, 17 or 0 bytes fail and leave the buffer as it was") {
        for (std::uint32_t length : {0u, 15u, 17u, 31u}) {
            CAPTURE(length);
            SecureBuffer data = SecureBuffer::zeros(length);
            for (std::uint32_t i = 0; i < length; ++i)
                data.data()[i] = static_cast<std::uint8_t>(i + 1);
            const SecureBuffer before = data;
            CHECK_FALSE(cipher.decryptCbc(data));
            CHECK(data.equals(before));
        }
    }
    SUBCASE("last byte 16 gives an empty buffer") {
        SecureBuffer data = encryptOneBlock(blockEndingIn(16));
        CHECK(cipher.decryptCbc(data));
        CHECK(data.empty());
    }
    SUBCASE("last byte 0 keeps all 16 bytes") {
        SecureBuffer data = encryptOneBlock(blockEndingIn(0));
        CHECK(cipher.decryptCbc(data));
        CHECK(toHex(data) == toHex(blockEndingIn(0)));
    }
    SUBCASE("last byte 17 fails and leaves the ciphertext") {
        SecureBuffer data = encryptOneBlock(blockEndingIn(17));
        const SecureBuffer before = data;
        CHECK_FALSE(cipher.decryptCbc(data));
        CHECK(data.equals(before));
    }
    SUBCASE("last byte 4 removes exactly 4 bytes, whatever the three before it") {
        SecureBuffer data = encryptOneBlock(blockEndingIn(4));
        CHECK(cipher.decryptCbc(data));
        CHECK(toHex(data) == "000102030405060708090a0b");
    }
    SUBCASE("a padding byte beyond a short plaintext leaves it empty") {
        // Two blocks, the last byte 16: exactly one block is removed.
        SecureBuffer plain = SecureBuffer::zeros(32);
        plain.data()[31] = 16;
        SecureBuffer data = plain;
        cipher.encryptBlock(data.data());
        for (std::uint32_t i = 0; i < 16; ++i)
            data.data()[16 + i] ^= data.data()[i];
        cipher.encryptBlock(data.data() + 16);
        CHECK(cipher.decryptCbc(data));
        CHECK(toHex(data) == std::string(32, '0'));
    }
}

TEST_CASE("aes: the chaining value") {
    AesCipher cipher(KEY32);
    const SecureBuffer ciphertext = encryptOneBlock(blockEndingIn(0));
    SUBCASE("without setIv a second decryption uses a zero chaining value") {
        SecureBuffer first = ciphertext;
        const SecureBuffer iv = fromHex("ffffffffffffffffffffffffffffff00");
        cipher.setIv(iv.data());
        REQUIRE(cipher.decryptCbc(first));
        SecureBuffer expected = blockEndingIn(0);
        for (std::uint32_t i = 0; i < 15; ++i)
            expected.data()[i] ^= 0xff;
        CHECK(toHex(first) == toHex(expected));
        SecureBuffer second = ciphertext;
        REQUIRE(cipher.decryptCbc(second));
        CHECK(toHex(second) == toHex(blockEndingIn(0)));
    }
    SUBCASE("in place versus a copy: the caller's other copies are untouched") {
        const SecureBuffer original = fromHex(SP800_38A_CIPHERTEXT);
        SecureBuffer data = original;
        cipher.setIv(fromHex(SP800_38A_IV).data());
        REQUIRE(cipher.decryptCbc(data));
        CHECK(toHex(original) == SP800_38A_CIPHERTEXT);
    }
}

TEST_CASE("aes: progress counts blocks and can cancel") {
    AesCipher cipher(KEY32);
    kpv::TransferProgress progress;
    cipher.progress = &progress;
    SecureBuffer data = fromHex(SP800_38A_CIPHERTEXT);
    cipher.setIv(fromHex(SP800_38A_IV).data());
    CHECK(cipher.decryptCbc(data));
    CHECK(progress.bytesDone == 64);
    progress.cancel = 1;
    SecureBuffer again = fromHex(SP800_38A_CIPHERTEXT);
    CHECK_FALSE(cipher.decryptCbc(again));
    CHECK(toHex(again) == SP800_38A_CIPHERTEXT);
}

TEST_CASE("aes: round keys live in wiping storage") {
    SUBCASE("the schedules go back through the wiping release") {
        for (std::uint32_t length : {16u, 24u, 32u}) {
            CAPTURE(length);
            const SecureBuffer key = SecureBuffer::zeros(length);
            const std::uint32_t roundKeys = length / 4 + 7;
            // Both schedules, 16 bytes per round key each, or the bit-sliced planes.
            const std::uint32_t scheduleBytes =
                kpv::crypto::aesPath() == kpv::crypto::AesPath::Hardware ? 2 * 16 * roundKeys
                                                                         : 128 * roundKeys;
            kpv::test::ReleaseProbe probe;
            { AesCipher cipher(key); }
            CHECK(probe.blocksReleased() == 1);
            CHECK(probe.bytesReleased() == scheduleBytes);
            CHECK(probe.dirtyBlocks() == 0);
        }
    }
    SUBCASE("a rejected key holds no round keys") {
        const SecureBuffer key = SecureBuffer::zeros(20);
        kpv::test::ReleaseProbe probe;
        { AesCipher cipher(key); }
        CHECK(probe.blocksReleased() == 0);
    }
    SUBCASE("decryptCbc releases only wiped blocks") {
        AesCipher cipher(KEY32);
        kpv::test::ReleaseProbe probe;
        {
            SecureBuffer data = fromHex(SP800_38A_CIPHERTEXT);
            cipher.setIv(fromHex(SP800_38A_IV).data());
            REQUIRE(cipher.decryptCbc(data));
        }
        CHECK(probe.blocksReleased() >= 2); // at least the working copy and the result
        CHECK(probe.dirtyBlocks() == 0);
    }
    SUBCASE("destruction wipes the chaining value") {
        alignas(AesCipher) unsigned char storage[sizeof(AesCipher)] = {};
        auto* cipher = new (storage) AesCipher(KEY32);
        cipher->setIv(fromHex("0123456789abcdef0123456789abcdef").data());
        cipher->~AesCipher();
        bool allZero = true;
        for (unsigned char c : storage)
            allZero = allZero && c == 0;
        CHECK(allZero);
    }
}
