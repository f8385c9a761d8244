#pragma once
// Opening an account's sealed status. A sealed payload is a 16-byte initialisation vector
// followed by the AES-256-CBC ciphertext (a non-zero multiple of 16 bytes) of the status
// record under key 0 of the account's KeyBundle; its tag is the 32-byte HmacSha256 of the whole
// payload, vector included, under key 1.
#include "core/secure_buffer.h"

namespace kpv {

// Derives the keys from secret, verifies tag over the whole payload in constant time, and only
// then decrypts. On success payload holds the plaintext with its padding removed (see
// AesCipher::decryptCbc). Any failure (a secret of the wrong length, a tag that does not match
// or is not 32 bytes, a payload without a whole ciphertext block, a padding byte above 16)
// gives false and leaves payload unchanged. secret and tag are never changed. Derived keys,
// pads, round keys and the vector copy are wiped on every path.
bool openSealedStatus(SecureBuffer& payload, const SecureBuffer& secret, const SecureBuffer& tag);

} // namespace kpv
