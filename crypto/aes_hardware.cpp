#include "crypto/aes_hardware.h"

#if defined(__x86_64__)
#include "crypto/aes_key_expansion.h"

#include <immintrin.h>

// Each function carries its own target, so the rest of the program runs on any x86-64
// processor; these are only reached after CPUID reported the AES instructions.
#define KPV_AES_TARGET __attribute__((target("aes,sse4.1")))

namespace kpv {
namespace {

KPV_AES_TARGET __m128i load(const std::uint8_t* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

KPV_AES_TARGET void store(std::uint8_t* p, __m128i v) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
}

// SubWord by AESKEYGENASSIST, which applies the S-box to the word in lane 1 (among others).
KPV_AES_TARGET std::uint32_t subWord(std::uint32_t w) {
    const __m128i v = _mm_set1_epi32(static_cast<int>(w));
    return static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_aeskeygenassist_si128(v, 0)));
}

constexpr unsigned BLOCKS_IN_FLIGHT = 8;

// One step of the 128- and 256-bit key expansions: each word of previous XORed with all words
// before it, then with the SubWord result that assist carries in every lane.
KPV_AES_TARGET __m128i nextRoundKey(__m128i previous, __m128i assist) {
    previous = _mm_xor_si128(previous, _mm_slli_si128(previous, 4));
    previous = _mm_xor_si128(previous, _mm_slli_si128(previous, 4));
    previous = _mm_xor_si128(previous, _mm_slli_si128(previous, 4));
    return _mm_xor_si128(previous, assist);
}

// RotWord(SubWord(last word of k)) ^ RCON, in every lane.
template <int RCON>
KPV_AES_TARGET __m128i rotatedAssist(__m128i k) {
    return _mm_shuffle_epi32(_mm_aeskeygenassist_si128(k, RCON), 0xFF);
}

// SubWord(last word of k), in every lane.
KPV_AES_TARGET __m128i plainAssist(__m128i k) {
    return _mm_shuffle_epi32(_mm_aeskeygenassist_si128(k, 0), 0xAA);
}

template <int RCON>
KPV_AES_TARGET void step128(__m128i& k, std::uint8_t*& out) {
    k = nextRoundKey(k, rotatedAssist<RCON>(k));
    store(out += 16, k);
}

// Round keys 2i and 2i + 1 of AES-256 from the two before them.
template <int RCON, bool LAST = false>
KPV_AES_TARGET void step256(__m128i& even, __m128i& odd, std::uint8_t*& out) {
    even = nextRoundKey(even, rotatedAssist<RCON>(odd));
    store(out += 16, even);
    if (!LAST) {
        odd = nextRoundKey(odd, plainAssist(even));
        store(out += 16, odd);
    }
}

KPV_AES_TARGET void expand128(const std::uint8_t* key, std::uint8_t* out) {
    __m128i k = load(key);
    store(out, k);
    step128<0x01>(k, out);
    step128<0x02>(k, out);
    step128<0x04>(k, out);
    step128<0x08>(k, out);
    step128<0x10>(k, out);
    step128<0x20>(k, out);
    step128<0x40>(k, out);
    step128<0x80>(k, out);
    step128<0x1b>(k, out);
    step128<0x36>(k, out);
}

KPV_AES_TARGET void expand256(const std::uint8_t* key, std::uint8_t* out) {
    __m128i even = load(key);
    __m128i odd = load(key + 16);
    store(out, even);
    store(out += 16, odd);
    step256<0x01>(even, odd, out);
    step256<0x02>(even, odd, out);
    step256<0x04>(even, odd, out);
    step256<0x08>(even, odd, out);
    step256<0x10>(even, odd, out);
    step256<0x20>(even, odd, out);
    step256<0x40, true>(even, odd, out);
}

} // namespace

KPV_AES_TARGET void aesHardwareExpandKey(const std::uint8_t* key, std::uint32_t keyLength,
                                         std::uint32_t rounds, std::uint8_t* encryptionKeys,
                                         std::uint8_t* decryptionKeys) noexcept {
    if (keyLength == 16)
        expand128(key, encryptionKeys);
    else if (keyLength == 32)
        expand256(key, encryptionKeys);
    else
        expandAesKey(key, keyLength, rounds, encryptionKeys,
                     [](std::uint32_t w) { return subWord(w); });
    store(decryptionKeys, load(encryptionKeys + 16 * rounds));
    for (std::uint32_t r = 1; r < rounds; ++r)
        store(decryptionKeys + 16 * r, _mm_aesimc_si128(load(encryptionKeys + 16 * (rounds - r))));
    store(decryptionKeys + 16 * rounds, load(encryptionKeys));
}

KPV_AES_TARGET void aesHardwareEncryptBlock(const std::uint8_t* keys, std::uint32_t rounds,
                                            std::uint8_t* block) noexcept {
    __m128i s = _mm_xor_si128(load(block), load(keys));
    for (std::uint32_t r = 1; r < rounds; ++r)
        s = _mm_aesenc_si128(s, load(keys + 16 * r));
    store(block, _mm_aesenclast_si128(s, load(keys + 16 * rounds)));
}

KPV_AES_TARGET void aesHardwareEncryptBlocks(const std::uint8_t* keys, std::uint32_t rounds,
                                             std::uint8_t* blocks, std::size_t count) noexcept {
    constexpr unsigned IN_FLIGHT = 4;
    for (; count >= IN_FLIGHT; count -= IN_FLIGHT, blocks += 16 * IN_FLIGHT) {
        __m128i s[IN_FLIGHT];
        for (unsigned k = 0; k < IN_FLIGHT; ++k)
            s[k] = _mm_xor_si128(load(blocks + 16 * k), load(keys));
        for (std::uint32_t r = 1; r < rounds; ++r) {
            const __m128i roundKey = load(keys + 16 * r);
            for (__m128i& block : s)
                block = _mm_aesenc_si128(block, roundKey);
        }
        for (unsigned k = 0; k < IN_FLIGHT; ++k)
            store(blocks + 16 * k, _mm_aesenclast_si128(s[k], load(keys + 16 * rounds)));
    }
    for (; count > 0; --count, blocks += 16)
        aesHardwareEncryptBlock(keys, rounds, blocks);
}

KPV_AES_TARGET void aesHardwareDecryptBlock(const std::uint8_t* keys, std::uint32_t rounds,
                                            std::uint8_t* block) noexcept {
    __m128i s = _mm_xor_si128(load(block), load(keys));
    for (std::uint32_t r = 1; r < rounds; ++r)
        s = _mm_aesdec_si128(s, load(keys + 16 * r));
    store(block, _mm_aesdeclast_si128(s, load(keys + 16 * rounds)));
}

// CBC decryption is parallel: every block needs only its own and the previous ciphertext, so
// eight independent blocks keep the AES unit busy while each one waits on its last round.
KPV_AES_TARGET void aesHardwareDecryptCbc(const std::uint8_t* keys, std::uint32_t rounds,
                                          std::uint8_t* chain, std::uint8_t* data,
                                          std::size_t count) noexcept {
    __m128i previous = load(chain);
    const __m128i first = load(keys);
    const __m128i last = load(keys + 16 * rounds);
    for (; count >= BLOCKS_IN_FLIGHT; count -= BLOCKS_IN_FLIGHT, data += 16 * BLOCKS_IN_FLIGHT) {
        __m128i c[BLOCKS_IN_FLIGHT];
        __m128i s[BLOCKS_IN_FLIGHT];
        for (unsigned k = 0; k < BLOCKS_IN_FLIGHT; ++k) {
            c[k] = load(data + 16 * k);
            s[k] = _mm_xor_si128(c[k], first);
        }
        for (std::uint32_t r = 1; r < rounds; ++r) {
            const __m128i roundKey = load(keys + 16 * r);
            for (__m128i& block : s)
                block = _mm_aesdec_si128(block, roundKey);
        }
        for (unsigned k = 0; k < BLOCKS_IN_FLIGHT; ++k) {
            store(data + 16 * k, _mm_xor_si128(_mm_aesdeclast_si128(s[k], last), previous));
            previous = c[k];
        }
    }
    for (; count > 0; --count, data += 16) {
        const __m128i c = load(data);
        __m128i s = _mm_xor_si128(c, first);
        for (std::uint32_t r = 1; r < rounds; ++r)
            s = _mm_aesdec_si128(s, load(keys + 16 * r));
        store(data, _mm_xor_si128(_mm_aesdeclast_si128(s, last), previous));
        previous = c;
    }
    store(chain, previous);
}

} // namespace kpv

#undef KPV_AES_TARGET

#else

namespace kpv {

void aesHardwareExpandKey(const std::uint8_t*, std::uint32_t, std::uint32_t, std::uint8_t*,
                          std::uint8_t*) noexcept {}
void aesHardwareEncryptBlock(const std::uint8_t*, std::uint32_t, std::uint8_t*) noexcept {}
void aesHardwareEncryptBlocks(const std::uint8_t*, std::uint32_t, std::uint8_t*,
                              std::size_t) noexcept {}
void aesHardwareDecryptBlock(const std::uint8_t*, std::uint32_t, std::uint8_t*) noexcept {}
void aesHardwareDecryptCbc(const std::uint8_t*, std::uint32_t, std::uint8_t*, std::uint8_t*,
                           std::size_t) noexcept {}

} // namespace kpv

#endif
