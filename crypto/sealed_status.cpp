#include "crypto/sealed_status.h"

#include "crypto/aes_cipher.h"
#include "crypto/hmac_sha256.h"
#include "crypto/key_bundle.h"

#include <utility>

namespace kpv {

bool openSealedStatus(SecureBuffer& payload, const SecureBuffer& secret, const SecureBuffer& tag) {
    // The keys are used where the bundle holds them (key n at byte 32n), without copies.
    const KeyBundle bundle = deriveKeyBundle(secret);
    if (bundle.material.length() != KEY_BUNDLE_KEYS * BUNDLE_KEY_SIZE)
        return false;
    const std::uint8_t* encryptionKey = bundle.material.data();
    const std::uint8_t* macKey = bundle.material.data() + BUNDLE_KEY_SIZE;
    {
        HmacSha256 mac(macKey, BUNDLE_KEY_SIZE);
        if (!mac.verify(payload, tag))
            return false;
    }
    if (payload.length() < AES_BLOCK_SIZE)
        return false;
    // Decrypting a copy leaves the payload as it was on every failure.
    SecureBuffer ciphertext = payload.slice(AES_BLOCK_SIZE, payload.length() - AES_BLOCK_SIZE);
    AesCipher cipher(encryptionKey, BUNDLE_KEY_SIZE);
    cipher.setIv(payload.data()); // the vector is copied into the cipher, which wipes it
    if (!cipher.decryptCbc(ciphertext))
        return false;
    payload = std::move(ciphertext);
    return true;
}

} // namespace kpv
