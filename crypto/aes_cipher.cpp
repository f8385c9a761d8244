#include "crypto/aes_cipher.h"

#include "core/secure_memory.h"
#include "crypto/aes_tables.h"

#include <cstring>
#include <utility>

namespace kpv {
namespace {

const auto& TE = AES_TABLES.encrypt;
const auto& TD = AES_TABLES.decrypt;
const auto& SBOX = AES_TABLES.sbox;
const auto& INVERSE_SBOX = AES_TABLES.inverseSbox;

constexpr std::uint32_t wordsFor(std::uint32_t rounds) {
    return 4 * (rounds + 1);
}

inline std::uint32_t byte3(std::uint32_t w) {
    return w >> 24;
}
inline std::uint32_t byte2(std::uint32_t w) {
    return (w >> 16) & 0xff;
}
inline std::uint32_t byte1(std::uint32_t w) {
    return (w >> 8) & 0xff;
}
inline std::uint32_t byte0(std::uint32_t w) {
    return w & 0xff;
}

inline std::uint32_t load(const std::uint8_t* p) {
    return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 |
           std::uint32_t{p[3]};
}

inline void store(std::uint8_t* p, std::uint32_t w) {
    p[0] = static_cast<std::uint8_t>(w >> 24);
    p[1] = static_cast<std::uint8_t>(w >> 16);
    p[2] = static_cast<std::uint8_t>(w >> 8);
    p[3] = static_cast<std::uint8_t>(w);
}

inline std::uint32_t subWord(std::uint32_t w) {
    return std::uint32_t{SBOX[byte3(w)]} << 24 | std::uint32_t{SBOX[byte2(w)]} << 16 |
           std::uint32_t{SBOX[byte1(w)]} << 8 | std::uint32_t{SBOX[byte0(w)]};
}

inline std::uint32_t invMixColumn(std::uint32_t w) {
    const auto& t = AES_TABLES;
    const std::uint32_t b0 = byte3(w), b1 = byte2(w), b2 = byte1(w), b3 = byte0(w);
    const auto r0 =
        static_cast<std::uint32_t>(t.times14[b0] ^ t.times11[b1] ^ t.times13[b2] ^ t.times9[b3]);
    const auto r1 =
        static_cast<std::uint32_t>(t.times9[b0] ^ t.times14[b1] ^ t.times11[b2] ^ t.times13[b3]);
    const auto r2 =
        static_cast<std::uint32_t>(t.times13[b0] ^ t.times9[b1] ^ t.times14[b2] ^ t.times11[b3]);
    const auto r3 =
        static_cast<std::uint32_t>(t.times11[b0] ^ t.times13[b1] ^ t.times9[b2] ^ t.times14[b3]);
    return r0 << 24 | r1 << 16 | r2 << 8 | r3;
}

// FIPS 197 key expansion into `words` = 4 * (rounds + 1) words.
void expandKey(const std::uint8_t* key, std::uint32_t keyWords, std::uint32_t* w,
               std::uint32_t words) {
    for (std::uint32_t i = 0; i < keyWords; ++i)
        w[i] = load(key + 4 * i);
    std::uint32_t roundConstant = 0x01;
    for (std::uint32_t i = keyWords; i < words; ++i) {
        std::uint32_t temp = w[i - 1];
        if (i % keyWords == 0) {
            temp = subWord(temp << 8 | temp >> 24) ^ (roundConstant << 24);
            roundConstant = (roundConstant << 1) ^ ((roundConstant & 0x80) != 0 ? 0x11b : 0);
        } else if (keyWords > 6 && i % keyWords == 4) {
            temp = subWord(temp);
        }
        w[i] = w[i - keyWords] ^ temp;
    }
}

// Round keys of the equivalent inverse cipher: the encryption round keys in reverse order of
// rounds, InvMixColumns applied to all but the first and last.
void invertKeys(const std::uint32_t* ek, std::uint32_t rounds, std::uint32_t* dk) {
    for (std::uint32_t r = 0; r <= rounds; ++r)
        for (std::uint32_t j = 0; j < 4; ++j) {
            const std::uint32_t w = ek[4 * (rounds - r) + j];
            dk[4 * r + j] = (r == 0 || r == rounds) ? w : invMixColumn(w);
        }
}

void encryptWords(const std::uint32_t* rk, std::uint32_t rounds, std::uint32_t* s) {
    std::uint32_t s0 = s[0] ^ rk[0], s1 = s[1] ^ rk[1], s2 = s[2] ^ rk[2], s3 = s[3] ^ rk[3];
    for (std::uint32_t r = 1; r < rounds; ++r) {
        rk += 4;
        const std::uint32_t t0 =
            TE[0][byte3(s0)] ^ TE[1][byte2(s1)] ^ TE[2][byte1(s2)] ^ TE[3][byte0(s3)] ^ rk[0];
        const std::uint32_t t1 =
            TE[0][byte3(s1)] ^ TE[1][byte2(s2)] ^ TE[2][byte1(s3)] ^ TE[3][byte0(s0)] ^ rk[1];
        const std::uint32_t t2 =
            TE[0][byte3(s2)] ^ TE[1][byte2(s3)] ^ TE[2][byte1(s0)] ^ TE[3][byte0(s1)] ^ rk[2];
        const std::uint32_t t3 =
            TE[0][byte3(s3)] ^ TE[1][byte2(s0)] ^ TE[2][byte1(s1)] ^ TE[3][byte0(s2)] ^ rk[3];
        s0 = t0;
        s1 = t1;
        s2 = t2;
        s3 = t3;
    }
    rk += 4;
    auto last = [](std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t d) {
        return std::uint32_t{SBOX[byte3(a)]} << 24 | std::uint32_t{SBOX[byte2(b)]} << 16 |
               std::uint32_t{SBOX[byte1(c)]} << 8 | std::uint32_t{SBOX[byte0(d)]};
    };
    s[0] = last(s0, s1, s2, s3) ^ rk[0];
    s[1] = last(s1, s2, s3, s0) ^ rk[1];
    s[2] = last(s2, s3, s0, s1) ^ rk[2];
    s[3] = last(s3, s0, s1, s2) ^ rk[3];
}

void decryptWords(const std::uint32_t* rk, std::uint32_t rounds, std::uint32_t* s) {
    std::uint32_t s0 = s[0] ^ rk[0], s1 = s[1] ^ rk[1], s2 = s[2] ^ rk[2], s3 = s[3] ^ rk[3];
    for (std::uint32_t r = 1; r < rounds; ++r) {
        rk += 4;
        const std::uint32_t t0 =
            TD[0][byte3(s0)] ^ TD[1][byte2(s3)] ^ TD[2][byte1(s2)] ^ TD[3][byte0(s1)] ^ rk[0];
        const std::uint32_t t1 =
            TD[0][byte3(s1)] ^ TD[1][byte2(s0)] ^ TD[2][byte1(s3)] ^ TD[3][byte0(s2)] ^ rk[1];
        const std::uint32_t t2 =
            TD[0][byte3(s2)] ^ TD[1][byte2(s1)] ^ TD[2][byte1(s0)] ^ TD[3][byte0(s3)] ^ rk[2];
        const std::uint32_t t3 =
            TD[0][byte3(s3)] ^ TD[1][byte2(s2)] ^ TD[2][byte1(s1)] ^ TD[3][byte0(s0)] ^ rk[3];
        s0 = t0;
        s1 = t1;
        s2 = t2;
        s3 = t3;
    }
    rk += 4;
    auto last = [](std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t d) {
        return std::uint32_t{INVERSE_SBOX[byte3(a)]} << 24 |
               std::uint32_t{INVERSE_SBOX[byte2(b)]} << 16 |
               std::uint32_t{INVERSE_SBOX[byte1(c)]} << 8 | std::uint32_t{INVERSE_SBOX[byte0(d)]};
    };
    s[0] = last(s0, s3, s2, s1) ^ rk[0];
    s[1] = last(s1, s0, s3, s2) ^ rk[1];
    s[2] = last(s2, s1, s0, s3) ^ rk[2];
    s[3] = last(s3, s2, s1, s0) ^ rk[3];
}

} // namespace

AesCipher::AesCipher(const SecureBuffer& key) {
    const std::uint32_t length = key.length();
    if (length != 16 && length != 24 && length != 32)
        return;
    const std::uint32_t keyWords = length / 4;
    rounds_ = keyWords + 6;
    keyLength_ = length;
    const std::uint32_t words = wordsFor(rounds_);
    encryptionKeys_.allocate(words * 4);
    decryptionKeys_.allocate(words * 4);
    expandKey(key.data(), keyWords, encryptionKeys(), words);
    invertKeys(encryptionKeys(), rounds_, decryptionKeys());
    valid_ = 1;
}

AesCipher::~AesCipher() {
    // The key arrays wipe themselves; the chaining value may still hold a ciphertext block.
    secureWipe(chain_, sizeof chain_);
    rounds_ = 0;
    keyLength_ = 0;
    valid_ = 0;
}

std::uint32_t* AesCipher::encryptionKeys() noexcept {
    return reinterpret_cast<std::uint32_t*>(encryptionKeys_.data());
}
std::uint32_t* AesCipher::decryptionKeys() noexcept {
    return reinterpret_cast<std::uint32_t*>(decryptionKeys_.data());
}
const std::uint32_t* AesCipher::encryptionKeys() const noexcept {
    return reinterpret_cast<const std::uint32_t*>(encryptionKeys_.data());
}
const std::uint32_t* AesCipher::decryptionKeys() const noexcept {
    return reinterpret_cast<const std::uint32_t*>(decryptionKeys_.data());
}

void AesCipher::encryptBlock(std::uint8_t* block) const noexcept {
    if (valid_ == 0)
        return;
    std::uint32_t s[4] = {load(block), load(block + 4), load(block + 8), load(block + 12)};
    encryptWords(encryptionKeys(), rounds_, s);
    for (unsigned i = 0; i < 4; ++i)
        store(block + 4 * i, s[i]);
    secureWipe(s, sizeof s);
}

void AesCipher::decryptBlock(std::uint8_t* block) const noexcept {
    if (valid_ == 0)
        return;
    std::uint32_t s[4] = {load(block), load(block + 4), load(block + 8), load(block + 12)};
    decryptWords(decryptionKeys(), rounds_, s);
    for (unsigned i = 0; i < 4; ++i)
        store(block + 4 * i, s[i]);
    secureWipe(s, sizeof s);
}

void AesCipher::setIv(const std::uint8_t* iv) noexcept {
    std::memcpy(chain_, iv, sizeof chain_);
}

bool AesCipher::decryptCbc(SecureBuffer& buffer) {
    const std::uint32_t length = buffer.length();
    if (valid_ == 0 || length == 0 || length % AES_BLOCK_SIZE != 0)
        return false;
    SecureBuffer work = buffer;
    std::uint8_t* p = work.data();
    const std::uint32_t* rk = decryptionKeys();
    std::uint32_t chain[4] = {load(chain_), load(chain_ + 4), load(chain_ + 8), load(chain_ + 12)};
    std::uint32_t s[4];
    std::uint32_t kept[4];
    bool cancelled = false;
    for (std::uint32_t offset = 0; offset < length; offset += AES_BLOCK_SIZE) {
        for (unsigned i = 0; i < 4; ++i)
            kept[i] = s[i] = load(p + offset + 4 * i);
        decryptWords(rk, rounds_, s);
        for (unsigned i = 0; i < 4; ++i) {
            store(p + offset + 4 * i, s[i] ^ chain[i]);
            chain[i] = kept[i];
        }
        if (progress != nullptr) {
            if (progress->cancel == 1) {
                cancelled = true;
                break;
            }
            progress->bytesDone += AES_BLOCK_SIZE;
        }
    }
    secureWipe(s, sizeof s);
    secureWipe(kept, sizeof kept);
    secureWipe(chain, sizeof chain);
    secureWipe(chain_, sizeof chain_);
    if (cancelled)
        return false; // work is wiped on return
    const std::uint32_t padding = p[length - 1];
    if (padding > AES_BLOCK_SIZE)
        return false;
    work.dropBack(padding);
    buffer = std::move(work);
    return true;
}

} // namespace kpv
