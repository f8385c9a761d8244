#pragma once
// Hex texts to buffers and back, and the rule that turns a standard SHA-256 digest into this
// system's digest order, for the crypto tests.
#include "core/secure_buffer.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace kpv::test {

inline SecureBuffer fromHex(std::string_view hex) {
    auto nibble = [](char c) -> std::uint8_t {
        if (c >= '0' && c <= '9')
            return static_cast<std::uint8_t>(c - '0');
        if (c >= 'a' && c <= 'f')
            return static_cast<std::uint8_t>(c - 'a' + 10);
        return static_cast<std::uint8_t>(c - 'A' + 10);
    };
    SecureBuffer out = SecureBuffer::zeros(static_cast<std::uint32_t>(hex.size() / 2));
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        out.data()[i / 2] = static_cast<std::uint8_t>(nibble(hex[i]) << 4 | nibble(hex[i + 1]));
    return out;
}

inline std::string toHex(const SecureBuffer& b) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (std::uint32_t i = 0; i < b.length(); ++i) {
        out += digits[b.data()[i] >> 4];
        out += digits[b.data()[i] & 15];
    }
    return out;
}

inline SecureBuffer fromText(std::string_view text) {
    return SecureBuffer::ofBytes(text.data(), static_cast<std::uint32_t>(text.size()));
}

// A published (most significant byte first) digest in this system's order: each 4-byte group
// reversed.
inline std::string wordOrder(std::string_view standardHex) {
    std::string out;
    for (std::size_t group = 0; group + 8 <= standardHex.size(); group += 8)
        for (std::size_t pair = 0; pair < 4; ++pair)
            out += standardHex.substr(group + 6 - 2 * pair, 2);
    return out;
}

} // namespace kpv::test
