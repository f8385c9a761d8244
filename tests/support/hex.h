#pragma once
// Hex texts to buffers and back, and the rule that turns a standard SHA-256 digest into this
// system's digest order, for the tests of every subsystem and of the tools.
#include "core/secure_buffer.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace kpv::test {

// Two digits per byte, either case; anything that is not a digit (spaces between groups) is
// skipped, and an odd last digit is dropped. The one hex decoder of the tests.
inline SecureBuffer fromHex(std::string_view hex) {
    auto digit = [](char c) -> int {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return -1;
    };
    std::uint32_t digits = 0;
    for (const char c : hex)
        digits += digit(c) >= 0 ? 1u : 0u;
    SecureBuffer out = SecureBuffer::zeros(digits / 2);
    std::uint32_t at = 0;
    int high = -1;
    for (const char c : hex) {
        const int value = digit(c);
        if (value < 0)
            continue;
        if (high < 0) {
            high = value;
        } else if (at < out.length()) {
            out.data()[at++] = static_cast<std::uint8_t>(high << 4 | value);
            high = -1;
        }
    }
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
