#include "crypto/sealed_status.h"

#include "crypto/aes_cipher.h"
#include "crypto/hmac_sha256.h"
#include "crypto/key_bundle.h"

#include <utility>

namespace kpv {

bool openSealedStatus(SecureBuffer& payload, const SecureBuffer& secret, const SecureBuffer& tag) {
    SecureBuffer encryptionKey;
    SecureBuffer macKey;
    {
        const KeyBundle bundle = deriveKeyBundle(secret);
        if (!bundle.keyAt(0, encryptionKey) || !bundle.keyAt(1, macKey))
            return false;
    }
    {
        HmacSha256 mac(macKey);
        if (!mac.verify(payload, tag))
            return false;
    }
    if (payload.length() < AES_BLOCK_SIZE)
        return false;
    // Decrypting a copy leaves the payload as it was on every failure.
    SecureBuffer ciphertext = payload.slice(AES_BLOCK_SIZE, payload.length() - AES_BLOCK_SIZE);
    AesCipher cipher(encryptionKey);
    cipher.setIv(payload.data()); // the vector is copied into the cipher, which wipes it
    if (!cipher.decryptCbc(ciphertext))
        return false;
    payload = std::move(ciphertext);
    return true;
}

} // namespace kpv
