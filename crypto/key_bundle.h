#pragma once
// An account's two 32-byte keys, derived from its secret (16, 24 or 32 bytes of key material):
// key 0 encrypts the sealed status (AES-256-CBC), key 1 authenticates it (HMAC-SHA-256).
#include "core/secure_buffer.h"

#include <cstdint>

namespace kpv {

inline constexpr std::uint32_t KEY_BUNDLE_KEYS = 2;
inline constexpr std::uint32_t BUNDLE_KEY_SIZE = 32; // bytes

struct KeyBundle {
    std::uint32_t keyCount = KEY_BUNDLE_KEYS;
    SecureBuffer material; // 64 bytes after a successful derivation, empty after a failed one

    KeyBundle() = default;
    KeyBundle(KeyBundle&&) noexcept = default;
    KeyBundle& operator=(KeyBundle&&) noexcept = default;
    KeyBundle(const KeyBundle&) = delete;
    KeyBundle& operator=(const KeyBundle&) = delete;
    // material wipes itself.
    ~KeyBundle() { keyCount = 0; }

    // Puts key n (bytes 32n..32n+31 of material) into out. False, with out wiped and empty,
    // when the derivation failed or n is not below keyCount.
    bool keyAt(std::uint32_t n, SecureBuffer& out) const;
};

// Key n is the AES encryption, under the secret, of two 16-byte blocks 2n and 2n+1, where
// block i holds the 32-bit little-endian value i four times. A secret of any length other than
// 16, 24 or 32 bytes gives a bundle with empty material. Every temporary is wiped.
KeyBundle deriveKeyBundle(const SecureBuffer& secret);

} // namespace kpv
