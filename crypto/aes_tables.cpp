#include "crypto/aes_tables.h"

namespace kpv {
namespace {

constexpr std::uint8_t xtime(std::uint8_t x) {
    return static_cast<std::uint8_t>((x << 1) ^ ((x & 0x80) != 0 ? 0x1b : 0));
}

constexpr std::uint8_t multiply(std::uint8_t a, std::uint8_t b) {
    std::uint8_t product = 0;
    for (; b != 0; b = static_cast<std::uint8_t>(b >> 1), a = xtime(a))
        if ((b & 1) != 0)
            product = static_cast<std::uint8_t>(product ^ a);
    return product;
}

// a^254, the multiplicative inverse (0 maps to 0).
constexpr std::uint8_t inverse(std::uint8_t a) {
    std::uint8_t result = 1;
    std::uint8_t power = a;
    for (unsigned e = 254; e != 0; e >>= 1, power = multiply(power, power))
        if ((e & 1) != 0)
            result = multiply(result, power);
    return result;
}

constexpr std::uint8_t rotl8(std::uint8_t x, unsigned n) {
    return static_cast<std::uint8_t>(x << n | x >> (8 - n));
}

constexpr std::uint32_t word(std::uint8_t b0, std::uint8_t b1, std::uint8_t b2, std::uint8_t b3) {
    return std::uint32_t{b0} << 24 | std::uint32_t{b1} << 16 | std::uint32_t{b2} << 8 |
           std::uint32_t{b3};
}

constexpr std::uint32_t rotr32(std::uint32_t x, unsigned n) {
    return n == 0 ? x : (x >> n | x << (32 - n));
}

constexpr AesTables buildTables() {
    AesTables t{};
    for (unsigned i = 0; i < 256; ++i) {
        const std::uint8_t x = static_cast<std::uint8_t>(i);
        const std::uint8_t b = inverse(x);
        const auto s = static_cast<std::uint8_t>(b ^ rotl8(b, 1) ^ rotl8(b, 2) ^ rotl8(b, 3) ^
                                                 rotl8(b, 4) ^ 0x63);
        t.sbox[i] = s;
        t.inverseSbox[s] = x;
        t.times9[i] = multiply(x, 9);
        t.times11[i] = multiply(x, 11);
        t.times13[i] = multiply(x, 13);
        t.times14[i] = multiply(x, 14);
    }
    for (unsigned i = 0; i < 256; ++i) {
        const std::uint8_t s = t.sbox[i];
        const std::uint8_t si = t.inverseSbox[i];
        const std::uint32_t e = word(multiply(s, 2), s, s, multiply(s, 3));
        const std::uint32_t d =
            word(multiply(si, 14), multiply(si, 9), multiply(si, 13), multiply(si, 11));
        for (unsigned r = 0; r < 4; ++r) {
            t.encrypt[r][i] = rotr32(e, 8 * r);
            t.decrypt[r][i] = rotr32(d, 8 * r);
        }
    }
    return t;
}

} // namespace

constinit const AesTables AES_TABLES = buildTables();

} // namespace kpv
