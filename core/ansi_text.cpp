#include "core/ansi_text.h"

#include "core/iso_time.h"

#include <cstdio>

namespace kpv {
namespace {

// Windows-1252 0x80 to 0x9F; 0xFFFD where the code page defines no character.
constexpr std::uint16_t HIGH_CONTROLS[32] = {
    0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178,
};

void appendUtf8(WipingString& out, std::uint32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

} // namespace

WipingString ansiToUtf8(const SecureBuffer& ansi) {
    WipingString out;
    for (std::uint32_t i = 0; i < ansi.length() && ansi.data()[i] != 0; ++i) {
        const std::uint8_t byte = ansi.data()[i];
        appendUtf8(out, byte >= 0x80 && byte < 0xA0 ? HIGH_CONTROLS[byte - 0x80] : byte);
    }
    return out;
}

WipingString isoUtcTime(std::uint32_t secondsSince1970) {
    return WipingString(isoUtcText(secondsSince1970).c_str());
}

} // namespace kpv
