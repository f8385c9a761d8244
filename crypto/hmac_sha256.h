#pragma once
// HMAC (RFC 2104) over this system's SHA-256, whose digests carry their words least significant
// byte first; a tag is therefore not the RFC 4231 value for the same key and message.
//
// Keys are restricted to 16..64 bytes: a shorter or longer key (longer keys are refused, not
// hashed) marks the object rejected, after which compute gives an empty buffer and verify
// false. Nothing is thrown or reported for a rejected key.
#include "core/record_stream.h"
#include "core/secure_buffer.h"

#include <cstdint>

namespace kpv {

inline constexpr std::uint32_t HMAC_MIN_KEY = 16; // bytes
inline constexpr std::uint32_t HMAC_MAX_KEY = 64; // bytes
inline constexpr std::uint32_t HMAC_TAG_SIZE = 32;

class HmacSha256 {
  public:
    // Handed to the inner hash; null in the client.
    TransferProgress* progress = nullptr;

    // The key is copied into the two pads; the caller's buffer is not kept.
    explicit HmacSha256(const SecureBuffer& key);
    // The same from length bytes at key (which may sit inside a larger secure buffer).
    HmacSha256(const std::uint8_t* key, std::uint32_t length);
    // The pads are SecureBuffers and are wiped with the object.
    HmacSha256(const HmacSha256&) = delete;
    HmacSha256& operator=(const HmacSha256&) = delete;

    bool keyRejected() const noexcept { return keyRejected_ != 0; }

    // The 32-byte tag; empty when the key was rejected or progress cancelled the inner hash.
    SecureBuffer compute(const SecureBuffer& message);
    SecureBuffer compute(const void* message, std::uint32_t n);

    // True only when the computed tag equals expectedTag, compared in constant time (the time
    // depends on the lengths only). A tag of any length other than 32 bytes fails.
    bool verify(const SecureBuffer& message, const SecureBuffer& expectedTag);

  private:
    SecureBuffer innerPad_; // 64 bytes: zero-extended key XOR 0x36
    SecureBuffer outerPad_; // 64 bytes: zero-extended key XOR 0x5C
    std::uint8_t keyRejected_ = 0;
};

} // namespace kpv
