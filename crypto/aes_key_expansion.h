#pragma once
// The FIPS 197 key expansion, shared by every AES path; each path brings its own SubWord (an S-box
// without secret-dependent lookups). Round keys are written as bytes in the state's order,
// 16 per round key.
#include "core/secure_memory.h"

#include <cstdint>

namespace kpv {

inline constexpr std::uint32_t AES_MAX_ROUNDS = 14;
inline constexpr std::uint32_t AES_MAX_SCHEDULE_BYTES = 16 * (AES_MAX_ROUNDS + 1);

// key: keyLength (16, 24 or 32) bytes; out: 16 * (rounds + 1) bytes, rounds = keyLength / 4 + 6.
// Words are kept least significant byte first, so RotWord is a rotation right by 8 bits and
// the round constant goes into the low byte. subWord(w) applies the S-box to each byte of w.
template <typename SubWord>
void expandAesKey(const std::uint8_t* key, std::uint32_t keyLength, std::uint32_t rounds,
                  std::uint8_t* out, SubWord subWord) {
    const std::uint32_t keyWords = keyLength / 4;
    const std::uint32_t words = 4 * (rounds + 1);
    std::uint32_t w[4 * (AES_MAX_ROUNDS + 1)];
    for (std::uint32_t i = 0; i < keyWords; ++i)
        w[i] = std::uint32_t{key[4 * i]} | std::uint32_t{key[4 * i + 1]} << 8 |
               std::uint32_t{key[4 * i + 2]} << 16 | std::uint32_t{key[4 * i + 3]} << 24;
    std::uint32_t roundConstant = 0x01;
    for (std::uint32_t i = keyWords; i < words; ++i) {
        std::uint32_t temp = w[i - 1];
        if (i % keyWords == 0) {
            temp = subWord(temp >> 8 | temp << 24) ^ roundConstant;
            roundConstant = (roundConstant << 1) ^ ((roundConstant & 0x80) != 0 ? 0x11b : 0);
        } else if (keyWords > 6 && i % keyWords == 4) {
            temp = subWord(temp);
        }
        w[i] = w[i - keyWords] ^ temp;
    }
    for (std::uint32_t i = 0; i < words; ++i)
        for (std::uint32_t j = 0; j < 4; ++j)
            out[4 * i + j] = static_cast<std::uint8_t>(w[i] >> (8 * j));
    secureWipe(w, sizeof w);
}

} // namespace kpv
