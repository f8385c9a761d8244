#pragma once
// How the monitoring server seals an account's status, built on OpenSSL alone so that it checks
// the client's own cryptography instead of sharing it.
//
// Sealed payload: a 16-byte initialisation vector, then the AES-256-CBC encryption (PKCS#7
// padding) of the plaintext status record under the account's payload key. Tag: 32 bytes, the
// HMAC-SHA-256 of the whole payload under the account's tag key, computed with this system's
// digest order (see systemSha256), which applies to the inner and the outer digest alike.
#include "core/secure_buffer.h"

#include <cstdint>

namespace kpv::tools {

inline constexpr std::uint32_t SEAL_IV_SIZE = 16;
inline constexpr std::uint32_t SEAL_TAG_SIZE = 32;
inline constexpr std::uint32_t ACCOUNT_KEYS_SIZE = 64;

// The 64 bytes of an account's two keys: the AES encryptions, with the secret as the key, of the
// four 16-byte blocks whose little-endian 32-bit words all equal the block number (0 to 3),
// each block on its own. Bytes 0-31 are the payload key, bytes 32-63 the tag key. False, with
// `keys` empty, when the secret is not 16, 24 or 32 bytes long or OpenSSL fails.
bool deriveAccountKeys(const SecureBuffer& secret, SecureBuffer& keys);

// SHA-256 of `first` followed by `second` (either may be empty), serialised in this system's
// order: the standard digest with the bytes of each of its eight 4-byte groups reversed.
// 32 bytes; empty when OpenSSL fails.
SecureBuffer systemSha256(const SecureBuffer& first, const SecureBuffer& second = {});

// HMAC (block 64 bytes) over systemSha256. Keys of 16 to 64 bytes are used as given (zero-padded
// to 64); any other length gives an empty result, as the client refuses such keys too.
SecureBuffer systemHmacSha256(const SecureBuffer& key, const SecureBuffer& message);

struct SealedStatus {
    SecureBuffer payload; // initialisation vector, then ciphertext
    SecureBuffer tag;     // 32 bytes
};

// Seals `plaintext` for the account whose key material is `secret`, with a fresh random
// initialisation vector. False, with `out` emptied, when the keys cannot be derived (a secret
// of the wrong length) or OpenSSL fails.
bool sealStatus(const SecureBuffer& secret, const SecureBuffer& plaintext, SealedStatus& out);

// The same with a given 16-byte initialisation vector (false for any other length).
bool sealStatusWithIv(const SecureBuffer& secret, const SecureBuffer& plaintext,
                      const SecureBuffer& iv, SealedStatus& out);

} // namespace kpv::tools
