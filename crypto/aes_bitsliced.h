#pragma once
// Constant-time software AES for processors without the AES instructions: a bit-sliced cipher
// that runs eight blocks at once (see aes_bitsliced_engine.h). It has no table lookups and no
// branches that depend on key or data, so its timing and memory access pattern through the
// cache reveal neither. Two builds of the same rounds: one with SSSE3 byte shuffles (every
// x86-64 processor that runs Windows 10 or 11 has SSSE3) and one in plain portable C++.
//
// Round keys take 128 bytes per round key (eight 16-byte planes), so 128 * (rounds + 1) bytes;
// the same schedule serves encryption and decryption.
#include <cstddef>
#include <cstdint>

namespace kpv {

inline constexpr std::uint32_t AES_BITSLICED_ROUND_KEY_BYTES = 128;

struct BitslicedAes {
    // key: keyLength (16, 24 or 32) bytes; roundKeys: 128 * (rounds + 1) bytes.
    void (*expandKey)(const std::uint8_t* key, std::uint32_t keyLength, std::uint32_t rounds,
                      std::uint8_t* roundKeys);
    // count 16-byte blocks in place.
    void (*encryptBlocks)(const std::uint8_t* roundKeys, std::uint32_t rounds, std::uint8_t* data,
                          std::size_t count);
    void (*decryptBlocks)(const std::uint8_t* roundKeys, std::uint32_t rounds, std::uint8_t* data,
                          std::size_t count);
    // CBC decryption of count blocks in place; chain (16 bytes) holds the vector on entry and
    // the last ciphertext block on return.
    void (*decryptCbc)(const std::uint8_t* roundKeys, std::uint32_t rounds, std::uint8_t* chain,
                       std::uint8_t* data, std::size_t count);
};

extern const BitslicedAes BITSLICED_AES_PORTABLE;
#if defined(__x86_64__)
// Needs SSSE3: only used when the processor reports it.
extern const BitslicedAes BITSLICED_AES_SSSE3;
#endif

} // namespace kpv
