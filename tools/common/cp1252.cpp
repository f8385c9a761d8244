#include "tools/common/cp1252.h"

#include <cstdint>

namespace kpv::tools {
namespace {

// Code points of bytes 0x80 to 0x9F; 0 marks the five bytes that Windows-1252 leaves unused.
constexpr std::uint16_t HIGH_CONTROLS[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

bool toByte(std::uint32_t codePoint, std::uint8_t& byte) {
    if (codePoint < 0x80 || (codePoint >= 0xA0 && codePoint <= 0xFF)) {
        byte = static_cast<std::uint8_t>(codePoint);
        return true;
    }
    for (std::uint32_t i = 0; i < 32; ++i) {
        if (HIGH_CONTROLS[i] != 0 && HIGH_CONTROLS[i] == codePoint) {
            byte = static_cast<std::uint8_t>(0x80 + i);
            return true;
        }
    }
    return false;
}

// Decodes one UTF-8 sequence at `pos`; false on anything that is not its shortest form.
bool nextCodePoint(std::string_view text, std::size_t& pos, std::uint32_t& codePoint) {
    const auto lead = static_cast<std::uint8_t>(text[pos]);
    std::size_t extra = 0;
    std::uint32_t minimum = 0;
    if (lead < 0x80) {
        codePoint = lead;
        ++pos;
        return true;
    } else if ((lead & 0xE0u) == 0xC0u) {
        extra = 1, minimum = 0x80, codePoint = lead & 0x1Fu;
    } else if ((lead & 0xF0u) == 0xE0u) {
        extra = 2, minimum = 0x800, codePoint = lead & 0x0Fu;
    } else if ((lead & 0xF8u) == 0xF0u) {
        extra = 3, minimum = 0x10000, codePoint = lead & 0x07u;
    } else {
        return false;
    }
    if (extra > text.size() - pos - 1)
        return false;
    for (std::size_t i = 1; i <= extra; ++i) {
        const auto next = static_cast<std::uint8_t>(text[pos + i]);
        if ((next & 0xC0u) != 0x80u)
            return false;
        codePoint = (codePoint << 6) | (next & 0x3Fu);
    }
    if (codePoint < minimum || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF))
        return false;
    pos += extra + 1;
    return true;
}

} // namespace

bool utf8ToCp1252(std::string_view utf8, SecureBuffer& out) {
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        std::uint32_t codePoint = 0;
        std::uint8_t byte = 0;
        if (!nextCodePoint(utf8, pos, codePoint) || !toByte(codePoint, byte)) {
            out.release();
            return false;
        }
        out.append(&byte, 1);
    }
    return true;
}

} // namespace kpv::tools
