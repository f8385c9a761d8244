#pragma once
// Test-only sealing of a status record, as the monitoring server does it, so that tests of
// status replies can build sealed payloads in every build (no OpenSSL). CBC encryption with
// padding of 1 to 16 bytes (each holding the padding length) under key 0 of the secret's
// KeyBundle, then the HmacSha256 tag under key 1 over the vector and ciphertext.
#include "core/secure_buffer.h"

#include <cstdint>

namespace kpv::test {

struct SealedStatus {
    SecureBuffer payload; // 16-byte vector, then the ciphertext
    SecureBuffer tag;     // 32 bytes
};

// Both buffers are empty when the secret is not 16, 24 or 32 bytes long. iv points to 16
// bytes.
SealedStatus sealStatus(const SecureBuffer& plaintext, const SecureBuffer& secret,
                        const std::uint8_t iv[16]);

} // namespace kpv::test
