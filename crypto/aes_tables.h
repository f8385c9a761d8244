#pragma once
// Lookup tables of the table-driven AES, built at compile time from the field arithmetic of
// FIPS 197 rather than typed in. Words are big-endian columns: the state's first row is the
// most significant byte.
#include <cstdint>

namespace kpv {

struct AesTables {
    std::uint32_t encrypt[4][256]; // SubBytes + MixColumns, one table per row rotation
    std::uint32_t decrypt[4][256]; // InvSubBytes + InvMixColumns, likewise
    std::uint8_t sbox[256];
    std::uint8_t inverseSbox[256];
    // Multiples in GF(2^8) used by InvMixColumns when the decryption round keys are prepared.
    std::uint8_t times9[256];
    std::uint8_t times11[256];
    std::uint8_t times13[256];
    std::uint8_t times14[256];
};

extern const AesTables AES_TABLES;

} // namespace kpv
