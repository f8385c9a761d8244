#include "crypto/key_bundle.h"

#include "crypto/aes_cipher.h"

namespace kpv {

bool KeyBundle::keyAt(std::uint32_t n, SecureBuffer& out) const {
    out.release();
    if (material.empty() || n >= keyCount)
        return false;
    out = material.slice(n * BUNDLE_KEY_SIZE, BUNDLE_KEY_SIZE);
    return out.length() == BUNDLE_KEY_SIZE;
}

KeyBundle deriveKeyBundle(const SecureBuffer& secret) {
    KeyBundle bundle;
    const AesCipher cipher(secret);
    if (!cipher.valid())
        return bundle;
    SecureBuffer material = SecureBuffer::zeros(KEY_BUNDLE_KEYS * BUNDLE_KEY_SIZE);
    std::uint8_t* p = material.data();
    constexpr std::uint32_t BLOCKS = KEY_BUNDLE_KEYS * BUNDLE_KEY_SIZE / AES_BLOCK_SIZE;
    for (std::uint32_t i = 0; i < BLOCKS; ++i) {
        std::uint8_t* block = p + AES_BLOCK_SIZE * i;
        for (std::uint32_t j = 0; j < AES_BLOCK_SIZE; j += 4)
            block[j] = static_cast<std::uint8_t>(i); // the other three bytes of i are zero
    }
    cipher.encryptBlocks(p, BLOCKS);
    bundle.material = std::move(material);
    return bundle;
}

} // namespace kpv
