// The client's opener against what the reference server seals: the two sides share no code.
#include "crypto/sealed_status.h"
#include "tests/tools/tool_test_support.h"
#include "tools/common/sealer.h"
#include "tools/server/status_record.h"

#include <doctest/doctest.h>

#include <random>

using namespace kpv;
using namespace kpv::test;
using namespace kpv::tools;

namespace {

SecureBuffer randomBytes(std::mt19937& rng, std::uint32_t n) {
    SecureBuffer b = SecureBuffer::zeros(n);
    for (std::uint32_t i = 0; i < n; ++i)
        b.data()[i] = static_cast<std::uint8_t>(rng() & 0xFFu);
    return b;
}

SecureBuffer randomSecret(std::mt19937& rng) {
    static constexpr std::uint32_t LENGTHS[] = {16, 24, 32};
    return randomBytes(rng, LENGTHS[rng() % 3]);
}

} // namespace

TEST_CASE("the client opens every status the server seals") {
    std::mt19937 rng(20240601);
    for (int round = 0; round < 300; ++round) {
        const SecureBuffer secret = randomSecret(rng);
        const SecureBuffer plaintext = randomBytes(rng, static_cast<std::uint32_t>(rng() % 200));
        CAPTURE(round);
        CAPTURE(secret.length());
        CAPTURE(plaintext.length());
        SealedStatus sealed;
        REQUIRE(sealStatus(secret, plaintext, sealed));
        SecureBuffer payload = sealed.payload;
        REQUIRE(openSealedStatus(payload, secret, sealed.tag));
        CHECK(payload.equals(plaintext));
    }
}

TEST_CASE("a status record sealed by the server reads back field by field in the client") {
    AccountStatus status;
    status.lastCopyTime = 1700000000;
    status.fileCount = 1234567;
    status.totalSize = 4294967296ull;
    status.excludedNames.push_back(SecureBuffer::ofBytes("a", 1));
    std::mt19937 rng(7);
    const SecureBuffer secret = randomSecret(rng);
    SealedStatus sealed;
    REQUIRE(sealStatus(secret, encodeStatusRecord(status), sealed));
    REQUIRE(openSealedStatus(sealed.payload, secret, sealed.tag));
    const Bytes record = bytesOf(sealed.payload);
    CHECK(u32At(record, 2) == 1700000000);
    CHECK(u32At(record, 6) == 1234567);
    CHECK(u32At(record, 10) == 1);
    CHECK(u32At(record, 14) == 0);
    CHECK(u32At(record, 18) == 1);
    CHECK(Bytes(record.begin() + 22, record.end()) == hexBytes("02000000 6100"));
}

TEST_CASE("the client refuses every tampered byte of vector, ciphertext and tag") {
    std::mt19937 rng(99);
    for (int round = 0; round < 4; ++round) {
        const SecureBuffer secret = randomSecret(rng);
        SealedStatus sealed;
        REQUIRE(sealStatus(secret, randomBytes(rng, 22 + static_cast<std::uint32_t>(round) * 9),
                           sealed));
        for (std::uint32_t i = 0; i < sealed.payload.length(); ++i) {
            CAPTURE(i);
            SecureBuffer payload = sealed.payload;
            payload.data()[i] ^= static_cast<std::uint8_t>(1u << (i % 8));
            const SecureBuffer before = payload;
            CHECK_FALSE(openSealedStatus(payload, secret, sealed.tag));
            CHECK(payload.equals(before));
        }
        for (std::uint32_t i = 0; i < sealed.tag.length(); ++i) {
            CAPTURE(i);
            SecureBuffer tag = sealed.tag;
            tag.data()[i] ^= 0x80;
            SecureBuffer payload = sealed.payload;
            CHECK_FALSE(openSealedStatus(payload, secret, tag));
            CHECK(payload.equals(sealed.payload));
        }
        // Another account's secret opens nothing.
        SecureBuffer payload = sealed.payload;
        CHECK_FALSE(openSealedStatus(payload, randomSecret(rng), sealed.tag));
    }
}
