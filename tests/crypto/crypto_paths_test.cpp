// The paths compared with each other on the same random inputs, around the edges of the
// eight-block batches. The vectors themselves run on every path through forced_paths.cpp.
#include "crypto/aes_cipher.h"
#include "crypto/crypto_paths.h"
#include "crypto/key_bundle.h"
#include "crypto/sha256.h"

#include <doctest/doctest.h>

#include <cstdint>
#include <string>
#include <vector>

using kpv::SecureBuffer;
using kpv::crypto::AesPath;
using kpv::crypto::ShaPath;

namespace {

SecureBuffer pseudoRandom(std::uint32_t n, std::uint32_t seed) {
    SecureBuffer out = SecureBuffer::zeros(n);
    std::uint32_t x = seed * 2654435761u + 1;
    for (std::uint32_t i = 0; i < n; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        out.data()[i] = static_cast<std::uint8_t>(x >> 24);
    }
    return out;
}

std::string bytes(const SecureBuffer& b) {
    return std::string(reinterpret_cast<const char*>(b.data()), b.length());
}

// What one AES path makes of a key and a buffer: forward and inverse of the first block, the
// CBC plaintext of the whole buffer, and the key bundle of the key used as a secret.
std::vector<std::string> aesResults(const SecureBuffer& key, const SecureBuffer& data) {
    kpv::AesCipher cipher(key);
    SecureBuffer forward = data.slice(0, 16);
    SecureBuffer inverse = forward;
    cipher.encryptBlock(forward.data());
    cipher.decryptBlock(inverse.data());
    SecureBuffer cbc = data;
    cipher.setIv(key.data());
    const bool opened = cipher.decryptCbc(cbc);
    return {bytes(forward), bytes(inverse), opened ? bytes(cbc) : "failed",
            bytes(kpv::deriveKeyBundle(key).material)};
}

// Restores the path in force when the test started.
struct PathsRestored {
    AesPath aes = kpv::crypto::aesPath();
    ShaPath sha = kpv::crypto::shaPath();
    ~PathsRestored() {
        kpv::crypto::forceAesPath(aes);
        kpv::crypto::forceShaPath(sha);
    }
};

} // namespace

TEST_CASE("crypto paths: every AES path agrees with the portable one") {
    const PathsRestored restored;
    for (AesPath path : {AesPath::Hardware, AesPath::BitslicedSsse3}) {
        if (!kpv::crypto::forceAesPath(path)) {
            MESSAGE("not compared, the processor lacks it: ", kpv::crypto::pathName(path));
            continue;
        }
        CAPTURE(kpv::crypto::pathName(path));
        for (std::uint32_t keyLength : {16u, 24u, 32u})
            for (std::uint32_t blocks = 1; blocks <= 25; ++blocks) {
                CAPTURE(keyLength);
                CAPTURE(blocks);
                const SecureBuffer key = pseudoRandom(keyLength, blocks);
                SecureBuffer data = pseudoRandom(16 * blocks, keyLength + blocks);
                data.data()[16 * blocks - 1] &= 0x0f; // a padding byte that is accepted
                kpv::crypto::forceAesPath(path);
                const auto tested = aesResults(key, data);
                kpv::crypto::forceAesPath(AesPath::BitslicedPortable);
                CHECK(tested == aesResults(key, data));
            }
    }
}

TEST_CASE("crypto paths: both SHA-256 paths agree, whole and in pieces") {
    const PathsRestored restored;
    if (!kpv::crypto::forceShaPath(ShaPath::Hardware)) {
        MESSAGE("not compared, the processor lacks the SHA instructions");
        return;
    }
    const SecureBuffer message = pseudoRandom(700, 7);
    for (std::uint32_t length = 0; length <= 700; length += 7) {
        CAPTURE(length);
        std::string digests[2];
        for (ShaPath path : {ShaPath::Hardware, ShaPath::Portable}) {
            kpv::crypto::forceShaPath(path);
            kpv::Sha256 whole;
            whole.update(message.data(), length);
            kpv::Sha256 pieces;
            for (std::uint32_t at = 0; at < length; at += 13)
                pieces.update(message.data() + at, length - at < 13 ? length - at : 13);
            const std::string digest = bytes(whole.digest());
            CHECK(digest == bytes(pieces.digest()));
            digests[path == ShaPath::Hardware ? 0 : 1] = digest;
        }
        CHECK(digests[0] == digests[1]);
    }
}
