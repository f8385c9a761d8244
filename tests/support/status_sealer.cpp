#include "tests/support/status_sealer.h"

#include "crypto/aes_cipher.h"
#include "crypto/hmac_sha256.h"
#include "crypto/key_bundle.h"

namespace kpv::test {

SealedStatus sealStatus(const SecureBuffer& plaintext, const SecureBuffer& secret,
                        const std::uint8_t iv[16]) {
    SealedStatus sealed;
    const KeyBundle bundle = deriveKeyBundle(secret);
    SecureBuffer encryptionKey;
    SecureBuffer macKey;
    if (!bundle.keyAt(0, encryptionKey) || !bundle.keyAt(1, macKey))
        return sealed;

    const std::uint32_t padding = AES_BLOCK_SIZE - plaintext.length() % AES_BLOCK_SIZE;
    SecureBuffer data = plaintext;
    data.appendZeros(padding);
    for (std::uint32_t i = data.length() - padding; i < data.length(); ++i)
        data.data()[i] = static_cast<std::uint8_t>(padding);

    const AesCipher cipher(encryptionKey);
    const std::uint8_t* previous = iv;
    for (std::uint32_t at = 0; at < data.length(); at += AES_BLOCK_SIZE) {
        std::uint8_t* block = data.data() + at;
        for (std::uint32_t i = 0; i < AES_BLOCK_SIZE; ++i)
            block[i] = static_cast<std::uint8_t>(block[i] ^ previous[i]);
        cipher.encryptBlock(block);
        previous = block;
    }

    sealed.payload = SecureBuffer::ofBytes(iv, AES_BLOCK_SIZE);
    sealed.payload.append(data);
    HmacSha256 mac(macKey);
    sealed.tag = mac.compute(sealed.payload);
    return sealed;
}

} // namespace kpv::test
