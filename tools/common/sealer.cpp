#include "tools/common/sealer.h"

#include "core/secure_memory.h"

#include <openssl/evp.h>
#include <openssl/rand.h>

#include <climits>
#include <memory>

namespace kpv::tools {
namespace {

// Freeing either context makes OpenSSL cleanse the key schedule or hash state it holds.
struct CipherContextFree {
    void operator()(EVP_CIPHER_CTX* c) const noexcept { EVP_CIPHER_CTX_free(c); }
};
struct DigestContextFree {
    void operator()(EVP_MD_CTX* c) const noexcept { EVP_MD_CTX_free(c); }
};
using CipherContext = std::unique_ptr<EVP_CIPHER_CTX, CipherContextFree>;
using DigestContext = std::unique_ptr<EVP_MD_CTX, DigestContextFree>;

const EVP_CIPHER* ecbFor(std::uint32_t keyLength) {
    switch (keyLength) {
    case 16:
        return EVP_aes_128_ecb();
    case 24:
        return EVP_aes_192_ecb();
    case 32:
        return EVP_aes_256_ecb();
    default:
        return nullptr;
    }
}

constexpr std::uint32_t HMAC_BLOCK = 64;

SecureBuffer paddedKey(const SecureBuffer& key, std::uint8_t padByte) {
    SecureBuffer pad = SecureBuffer::zeros(HMAC_BLOCK);
    for (std::uint32_t i = 0; i < key.length(); ++i)
        pad.data()[i] = key.data()[i];
    for (std::uint32_t i = 0; i < HMAC_BLOCK; ++i)
        pad.data()[i] ^= padByte;
    return pad;
}

bool encryptCbc(const SecureBuffer& key, const SecureBuffer& iv, const SecureBuffer& plaintext,
                SecureBuffer& out) {
    if (plaintext.length() > INT_MAX - 2 * SEAL_IV_SIZE)
        return false;
    CipherContext ctx(EVP_CIPHER_CTX_new());
    if (!ctx ||
        EVP_EncryptInit_ex(ctx.get(), EVP_aes_256_cbc(), nullptr, key.data(), iv.data()) != 1)
        return false;
    // PKCS#7 padding is OpenSSL's default: 1 to 16 bytes, each holding the count.
    SecureBuffer cipher = SecureBuffer::zeros(SEAL_IV_SIZE + plaintext.length() + SEAL_IV_SIZE);
    for (std::uint32_t i = 0; i < SEAL_IV_SIZE; ++i)
        cipher.data()[i] = iv.data()[i];
    int written = 0;
    int last = 0;
    if (EVP_EncryptUpdate(ctx.get(), cipher.data() + SEAL_IV_SIZE, &written, plaintext.data(),
                          static_cast<int>(plaintext.length())) != 1 ||
        EVP_EncryptFinal_ex(ctx.get(), cipher.data() + SEAL_IV_SIZE + written, &last) != 1)
        return false;
    cipher.resize(SEAL_IV_SIZE + static_cast<std::uint32_t>(written) +
                  static_cast<std::uint32_t>(last));
    out = std::move(cipher);
    return true;
}

} // namespace

bool deriveAccountKeys(const SecureBuffer& secret, SecureBuffer& keys) {
    keys.release();
    const EVP_CIPHER* cipher = ecbFor(secret.length());
    if (cipher == nullptr)
        return false;
    std::uint8_t blocks[ACCOUNT_KEYS_SIZE];
    for (std::uint32_t i = 0; i < ACCOUNT_KEYS_SIZE; ++i)
        blocks[i] = (i % 4 == 0) ? static_cast<std::uint8_t>(i / 16) : 0;
    SecureBuffer material = SecureBuffer::zeros(ACCOUNT_KEYS_SIZE);
    CipherContext ctx(EVP_CIPHER_CTX_new());
    int written = 0;
    int last = 0;
    // ECB without padding encrypts each block on its own, which is what the derivation wants.
    const bool ok =
        ctx && EVP_EncryptInit_ex(ctx.get(), cipher, nullptr, secret.data(), nullptr) == 1 &&
        EVP_CIPHER_CTX_set_padding(ctx.get(), 0) == 1 &&
        EVP_EncryptUpdate(ctx.get(), material.data(), &written, blocks, sizeof blocks) == 1 &&
        EVP_EncryptFinal_ex(ctx.get(), material.data() + written, &last) == 1 &&
        written + last == static_cast<int>(ACCOUNT_KEYS_SIZE);
    secureWipe(blocks, sizeof blocks);
    if (ok)
        keys = std::move(material);
    return ok;
}

SecureBuffer systemSha256(const SecureBuffer& first, const SecureBuffer& second) {
    DigestContext ctx(EVP_MD_CTX_new());
    std::uint8_t digest[EVP_MAX_MD_SIZE];
    unsigned int digestLength = 0;
    const bool ok = ctx && EVP_DigestInit_ex(ctx.get(), EVP_sha256(), nullptr) == 1 &&
                    EVP_DigestUpdate(ctx.get(), first.data(), first.length()) == 1 &&
                    EVP_DigestUpdate(ctx.get(), second.data(), second.length()) == 1 &&
                    EVP_DigestFinal_ex(ctx.get(), digest, &digestLength) == 1 && digestLength == 32;
    SecureBuffer result;
    if (ok) {
        result.allocate(32);
        for (std::uint32_t i = 0; i < 32; ++i)
            result.data()[i] = digest[(i & ~3u) + 3 - (i & 3u)];
    }
    secureWipe(digest, sizeof digest);
    return result;
}

SecureBuffer systemHmacSha256(const SecureBuffer& key, const SecureBuffer& message) {
    if (key.length() < 16 || key.length() > HMAC_BLOCK)
        return {};
    const SecureBuffer inner = systemSha256(paddedKey(key, 0x36), message);
    if (inner.empty())
        return {};
    return systemSha256(paddedKey(key, 0x5C), inner);
}

bool sealStatusWithIv(const SecureBuffer& secret, const SecureBuffer& plaintext,
                      const SecureBuffer& iv, SealedStatus& out) {
    out.payload.release();
    out.tag.release();
    SecureBuffer keys;
    if (iv.length() != SEAL_IV_SIZE || !deriveAccountKeys(secret, keys))
        return false;
    const SecureBuffer payloadKey = keys.slice(0, 32);
    const SecureBuffer tagKey = keys.slice(32, 32);
    SecureBuffer payload;
    if (!encryptCbc(payloadKey, iv, plaintext, payload))
        return false;
    SecureBuffer tag = systemHmacSha256(tagKey, payload);
    if (tag.length() != SEAL_TAG_SIZE)
        return false;
    out.payload = std::move(payload);
    out.tag = std::move(tag);
    return true;
}

bool sealStatus(const SecureBuffer& secret, const SecureBuffer& plaintext, SealedStatus& out) {
    SecureBuffer iv = SecureBuffer::zeros(SEAL_IV_SIZE);
    if (RAND_bytes(iv.data(), static_cast<int>(SEAL_IV_SIZE)) != 1) {
        out.payload.release();
        out.tag.release();
        return false;
    }
    return sealStatusWithIv(secret, plaintext, iv, out);
}

} // namespace kpv::tools
