#include "tests/tools/tool_test_support.h"
#include "tools/common/sealer.h"

#include <doctest/doctest.h>

#include <cstring>

using namespace kpv;
using namespace kpv::test;
using namespace kpv::tools;

namespace {

SecureBuffer text(const char* s) {
    return SecureBuffer::ofBytes(s, static_cast<std::uint32_t>(std::strlen(s)));
}

SecureBuffer counting(std::uint32_t n, std::uint8_t first = 0) {
    SecureBuffer b = SecureBuffer::zeros(n);
    for (std::uint32_t i = 0; i < n; ++i)
        b.data()[i] = static_cast<std::uint8_t>(first + i);
    return b;
}

} // namespace

TEST_CASE("digest order: each 4-byte group of the standard digest reversed") {
    // Standard values from FIPS 180-4 (abc) and the empty message, each group reversed.
    CHECK(bytesOf(systemSha256(text("abc"))) ==
          hexBytes("bf1678ba eacf018f de404141 2322ae5d a36103b0 9c7a1796 61ff10b4 ad1500f2"));
    CHECK(bytesOf(systemSha256({})) ==
          hexBytes("42c4b0e3 141cfc98 c8f4fb9a 24b96f99 e441ae27 4c939b64 1b9995a4 55b85278"));
    // Hashing in two parts equals hashing the concatenation.
    CHECK(systemSha256(text("ab"), text("c")).equals(systemSha256(text("abc"))));
}

TEST_CASE("HMAC with the reversed digest order, inner and outer") {
    // Inputs of RFC 4231 test case 1 and two more; expected values from an independent script
    // (Python hashlib, groups reversed after both digests). They differ from RFC 4231's tag.
    const SecureBuffer case1Key =
        SecureBuffer::ofBytes(hexBytes("0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b").data(), 20);
    CHECK(bytesOf(systemHmacSha256(case1Key, text("Hi There"))) ==
          hexBytes("5ce14f53884ecc3dcf527b2161fac215dce278b1a5e5085dccc4254d7ee5647d"));
    CHECK(bytesOf(systemHmacSha256(counting(64), text("Kopiavakt"))) ==
          hexBytes("1ecd1aeb817c57ac043e359932a428aa4910d262a951bee31ae8ecdab8c10f0a"));
    CHECK(bytesOf(systemHmacSha256(counting(32), {})) ==
          hexBytes("64baa7f740d3b044ba940d01b25a5210e1fb738fa17e6c60bae3796c8643567d"));
    // The client refuses keys outside 16 to 64 bytes, so the server never uses one.
    CHECK(systemHmacSha256(counting(15), text("x")).empty());
    CHECK(systemHmacSha256(counting(65), text("x")).empty());
    CHECK(systemHmacSha256(counting(16), text("x")).length() == 32);
}

TEST_CASE("account keys: AES of the four counter blocks under the secret") {
    SecureBuffer keys;
    // Expected values from the openssl command line (aes-*-ecb, no padding) over the blocks.
    REQUIRE(deriveAccountKeys(counting(16), keys));
    CHECK(bytesOf(keys) ==
          hexBytes("c6a13b37878f5b826f4f8162a1c8d879 56c84a9bdcb022a1861bbf0134a41241"
                   "4b84fe5e35a6d3f250f27a613e42513c 51ec086474c039ff3a569eba72cb6418"));
    REQUIRE(deriveAccountKeys(counting(24), keys));
    CHECK(bytesOf(keys) ==
          hexBytes("916251821c73a522c396d62738019607 950b23f1ca5f3284f44f997e579116e2"
                   "a71684f8e790259b26d27ca586cae11a 12e2c76cf12c1db4e372176a0c30163a"));
    REQUIRE(deriveAccountKeys(counting(32), keys));
    CHECK(bytesOf(keys) ==
          hexBytes("f29000b62a499fd0a9f39a6add2e7780 b14ea911d76c1ee16580d1fe1e98f281"
                   "5e9f7ad2a3240c4046507bfe2e0bb2e3 fb464e986e833be78c886f73307a0153"));
    // Block 0 is all zero, so an all-zero secret gives the widely published AES encryption of
    // the zero block under the zero key (128 and 256 bits).
    REQUIRE(deriveAccountKeys(SecureBuffer::zeros(16), keys));
    CHECK(bytesOf(keys.slice(0, 16)) == hexBytes("66e94bd4ef8a2c3b884cfa59ca342b2e"));
    REQUIRE(deriveAccountKeys(SecureBuffer::zeros(32), keys));
    CHECK(bytesOf(keys.slice(0, 16)) == hexBytes("dc95c078a2408989ad48a21492842087"));

    for (const std::uint32_t wrong : {0u, 15u, 20u, 33u, 64u}) {
        CAPTURE(wrong);
        CHECK_FALSE(deriveAccountKeys(counting(wrong), keys));
        CHECK(keys.empty());
    }
}

TEST_CASE("sealing with a given vector matches an independently computed payload and tag") {
    // Plaintext: skipped u16, time 1700000000, 1234567 files, size 2^32, two excluded names
    // "a" and "bc". Expected from the openssl command line (aes-256-cbc) and a Python HMAC.
    const Bytes plaintext =
        hexBytes("0000 00f15365 87d61200 01000000 00000000 02000000 02000000 6100 03000000 626300");
    SealedStatus sealed;
    REQUIRE(sealStatusWithIv(counting(32), bufferOf(plaintext), counting(16, 0xA0), sealed));
    CHECK(bytesOf(sealed.payload) ==
          hexBytes("a0a1a2a3a4a5a6a7a8a9aaabacadaeaf 44ac2ddeb06288da4b6178c4b5bb33f4"
                   "906eb5006e5a5c4960c93ec22fb6fe39 19d1dea644174d768611a5ab5a3d53b3"));
    CHECK(bytesOf(sealed.tag) ==
          hexBytes("3bcb15ae2d826a3a29a6d2a53ba43de7f0f11c9af689d3c731e29002ba6b6ed0"));

    CHECK_FALSE(sealStatusWithIv(counting(32), bufferOf(plaintext), counting(15), sealed));
    CHECK(sealed.payload.empty());
    CHECK_FALSE(sealStatusWithIv(counting(20), bufferOf(plaintext), counting(16), sealed));
}

TEST_CASE("sealed payloads: padding to whole blocks and a fresh vector every time") {
    const SecureBuffer secret = counting(24, 7);
    for (const std::uint32_t length : {0u, 1u, 15u, 16u, 17u, 22u, 32u, 100u}) {
        CAPTURE(length);
        SealedStatus sealed;
        REQUIRE(sealStatus(secret, counting(length, 3), sealed));
        // PKCS#7 always adds 1 to 16 bytes: a whole block of padding after a full block.
        CHECK(sealed.payload.length() == 16 + (length / 16 + 1) * 16);
        CHECK(sealed.tag.length() == 32);
        Bytes opened;
        REQUIRE(openIndependently(secret, bytesOf(sealed.payload), bytesOf(sealed.tag), opened));
        CHECK(opened == bytesOf(counting(length, 3)));
    }
    SealedStatus first;
    SealedStatus second;
    REQUIRE(sealStatus(secret, counting(20), first));
    REQUIRE(sealStatus(secret, counting(20), second));
    CHECK_FALSE(first.payload.slice(0, 16).equals(second.payload.slice(0, 16)));
}
