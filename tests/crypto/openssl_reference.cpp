#include "tests/crypto/openssl_reference.h"

#include "tools/common/sealer.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>

#include <algorithm>
#include <stdexcept>

namespace kpv::reference {
namespace {

void check(int ok) {
    if (ok != 1)
        throw std::runtime_error("OpenSSL call failed");
}

SecureBuffer bufferOf(const std::uint8_t* data, std::size_t n) {
    return SecureBuffer::ofBytes(data, static_cast<std::uint32_t>(n));
}

Bytes bytesOf(const SecureBuffer& b) {
    return {b.data(), b.data() + b.length()};
}

int asInt(std::size_t n) {
    return static_cast<int>(n);
}

const EVP_CIPHER* ecbFor(std::size_t keyLength) {
    return keyLength == 16   ? EVP_aes_128_ecb()
           : keyLength == 24 ? EVP_aes_192_ecb()
                             : EVP_aes_256_ecb();
}

const EVP_CIPHER* cbcFor(std::size_t keyLength) {
    return keyLength == 16   ? EVP_aes_128_cbc()
           : keyLength == 24 ? EVP_aes_192_cbc()
                             : EVP_aes_256_cbc();
}

void swapWords(std::uint8_t* d) {
    for (int i = 0; i < 32; i += 4) {
        std::swap(d[i], d[i + 3]);
        std::swap(d[i + 1], d[i + 2]);
    }
}

void systemDigest(EVP_MD_CTX* ctx, const std::uint8_t* a, std::size_t an, const std::uint8_t* b,
                  std::size_t bn, std::uint8_t* out) {
    check(EVP_DigestInit_ex(ctx, EVP_sha256(), nullptr));
    check(EVP_DigestUpdate(ctx, a, an));
    check(EVP_DigestUpdate(ctx, b, bn));
    unsigned int length = 0;
    check(EVP_DigestFinal_ex(ctx, out, &length));
    swapWords(out);
}

void systemTag(EVP_MD_CTX* ctx, const std::uint8_t* key, std::size_t keyLength,
               const std::uint8_t* message, std::size_t n, std::uint8_t* out) {
    std::uint8_t inner[64] = {};
    std::uint8_t outer[64] = {};
    std::copy(key, key + keyLength, inner);
    std::copy(key, key + keyLength, outer);
    for (int i = 0; i < 64; ++i) {
        inner[i] ^= 0x36;
        outer[i] ^= 0x5c;
    }
    std::uint8_t innerDigest[32];
    systemDigest(ctx, inner, 64, message, n, innerDigest);
    systemDigest(ctx, outer, 64, innerDigest, 32, out);
}

Bytes runCipher(const EVP_CIPHER* cipher, bool encrypt, const Bytes& key, const std::uint8_t* iv,
                const Bytes& data, bool padding) {
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    Bytes out(data.size() + 32);
    int n1 = 0;
    int n2 = 0;
    check(EVP_CipherInit_ex(ctx, cipher, nullptr, key.data(), iv, encrypt ? 1 : 0));
    check(EVP_CIPHER_CTX_set_padding(ctx, padding ? 1 : 0));
    check(EVP_CipherUpdate(ctx, out.data(), &n1, data.data(), asInt(data.size())));
    check(EVP_CipherFinal_ex(ctx, out.data() + n1, &n2));
    EVP_CIPHER_CTX_free(ctx);
    out.resize(static_cast<std::size_t>(n1 + n2));
    return out;
}

} // namespace

Bytes standardDigest(const std::uint8_t* data, std::size_t n) {
    Bytes out(32);
    unsigned int length = 0;
    check(EVP_Digest(data, n, out.data(), &length, EVP_sha256(), nullptr));
    return out;
}

Bytes digest(const std::uint8_t* data, std::size_t n) {
    return bytesOf(tools::systemSha256(bufferOf(data, n)));
}

Bytes tag(const Bytes& key, const std::uint8_t* message, std::size_t n) {
    return bytesOf(tools::systemHmacSha256(bufferOf(key.data(), key.size()), bufferOf(message, n)));
}

Bytes encryptBlock(const Bytes& key, const Bytes& block) {
    return runCipher(ecbFor(key.size()), true, key, nullptr, block, false);
}

Bytes decryptBlock(const Bytes& key, const Bytes& block) {
    return runCipher(ecbFor(key.size()), false, key, nullptr, block, false);
}

Bytes cbcEncrypt(const Bytes& key, const Bytes& iv, const Bytes& data) {
    return runCipher(cbcFor(key.size()), true, key, iv.data(), data, false);
}

Bytes cbcDecrypt(const Bytes& key, const Bytes& iv, const Bytes& data) {
    return runCipher(cbcFor(key.size()), false, key, iv.data(), data, false);
}

Bytes keyBundle(const Bytes& secret) {
    SecureBuffer keys;
    check(tools::deriveAccountKeys(bufferOf(secret.data(), secret.size()), keys) ? 1 : 0);
    return bytesOf(keys);
}

Sealed seal(const Bytes& plaintext, const Bytes& secret, const Bytes& iv) {
    tools::SealedStatus sealed;
    check(tools::sealStatusWithIv(bufferOf(secret.data(), secret.size()),
                                  bufferOf(plaintext.data(), plaintext.size()),
                                  bufferOf(iv.data(), iv.size()), sealed)
              ? 1
              : 0);
    return Sealed{bytesOf(sealed.payload), bytesOf(sealed.tag)};
}

struct Opener::Contexts {
    EVP_CIPHER_CTX* derive = EVP_CIPHER_CTX_new();
    EVP_CIPHER_CTX* decrypt = EVP_CIPHER_CTX_new();
    EVP_MD_CTX* hash = EVP_MD_CTX_new();
    Contexts() = default;
    Contexts(const Contexts&) = delete;
    Contexts& operator=(const Contexts&) = delete;
    ~Contexts() {
        EVP_CIPHER_CTX_free(derive);
        EVP_CIPHER_CTX_free(decrypt);
        EVP_MD_CTX_free(hash);
    }
};

Opener::Opener() : contexts_(std::make_unique<Contexts>()) {}

Opener::~Opener() = default;

bool Opener::cbcDecrypt(const std::uint8_t* key, const std::uint8_t* iv, const std::uint8_t* in,
                        std::size_t n, std::uint8_t* out) {
    int n1 = 0;
    int n2 = 0;
    EVP_CIPHER_CTX* ctx = contexts_->decrypt;
    if (EVP_DecryptInit_ex(ctx, EVP_aes_256_cbc(), nullptr, key, iv) != 1 ||
        EVP_CIPHER_CTX_set_padding(ctx, 0) != 1 ||
        EVP_DecryptUpdate(ctx, out, &n1, in, asInt(n)) != 1 ||
        EVP_DecryptFinal_ex(ctx, out + n1, &n2) != 1)
        return false;
    return static_cast<std::size_t>(n1 + n2) == n;
}

void Opener::digest(const std::uint8_t* data, std::size_t n, std::uint8_t* out) {
    systemDigest(contexts_->hash, data, n, nullptr, 0, out);
}

bool Opener::open(const Bytes& payload, const Bytes& secret, const Bytes& tag, Bytes& plaintext) {
    if (secret.size() != 16 && secret.size() != 24 && secret.size() != 32)
        return false;
    std::uint8_t blocks[64] = {};
    for (std::size_t i = 0; i < 4; ++i)
        for (std::size_t j = 0; j < 16; j += 4)
            blocks[16 * i + j] = static_cast<std::uint8_t>(i);
    std::uint8_t material[64];
    int n = 0;
    EVP_CIPHER_CTX* ctx = contexts_->derive;
    if (EVP_EncryptInit_ex(ctx, ecbFor(secret.size()), nullptr, secret.data(), nullptr) != 1 ||
        EVP_CIPHER_CTX_set_padding(ctx, 0) != 1 ||
        EVP_EncryptUpdate(ctx, material, &n, blocks, 64) != 1 || n != 64)
        return false;
    std::uint8_t expected[32];
    systemTag(contexts_->hash, material + 32, 32, payload.data(), payload.size(), expected);
    if (tag.size() != 32 || CRYPTO_memcmp(expected, tag.data(), 32) != 0)
        return false;
    if (payload.size() < 32 || payload.size() % 16 != 0)
        return false;
    plaintext.resize(payload.size() - 16);
    if (!cbcDecrypt(material, payload.data(), payload.data() + 16, plaintext.size(),
                    plaintext.data()))
        return false;
    const std::size_t padding = plaintext.back();
    if (padding > 16)
        return false;
    plaintext.resize(padding >= plaintext.size() ? 0 : plaintext.size() - padding);
    return true;
}

} // namespace kpv::reference
