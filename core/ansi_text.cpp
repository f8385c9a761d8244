#include "core/ansi_text.h"

#include <cstdint>

namespace kpv {
namespace {

// The characters of Windows-1252 0x80 to 0x9F, the only bytes whose code point is not the
// byte itself; 0xFFFD where the code page defines no character.
constexpr std::uint16_t HIGH_CONTROLS[32] = {
    0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178,
};

std::uint32_t codePointOf(std::uint8_t byte) {
    return byte >= 0x80 && byte < 0xA0 ? HIGH_CONTROLS[byte - 0x80] : byte;
}

bool byteOf(std::uint32_t codePoint, std::uint8_t& byte) {
    if (codePoint < 0x80 || (codePoint >= 0xA0 && codePoint <= 0xFF)) {
        byte = static_cast<std::uint8_t>(codePoint);
        return true;
    }
    for (std::uint32_t i = 0; i < 32; ++i) {
        if (HIGH_CONTROLS[i] != 0xFFFD && HIGH_CONTROLS[i] == codePoint) {
            byte = static_cast<std::uint8_t>(0x80 + i);
            return true;
        }
    }
    return false;
}

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

// The length of the valid UTF-8 sequence at `at` (shortest form, no surrogates, at most
// U+10FFFF) with its code point, or 0.
std::size_t utf8SequenceAt(std::string_view text, std::size_t at, std::uint32_t& code) {
    const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(text[i]); };
    const std::uint8_t first = byte(at);
    std::size_t length = 0;
    if (first < 0x80) {
        code = first;
        return 1;
    } else if (first >= 0xC2 && first <= 0xDF) {
        length = 2;
        code = first & 0x1Fu;
    } else if (first >= 0xE0 && first <= 0xEF) {
        length = 3;
        code = first & 0x0Fu;
    } else if (first >= 0xF0 && first <= 0xF4) {
        length = 4;
        code = first & 0x07u;
    } else {
        return 0;
    }
    if (text.size() - at < length)
        return 0;
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80)
            return 0;
        code = code << 6 | (byte(at + i) & 0x3Fu);
    }
    const std::uint32_t least = length == 2 ? 0x80 : length == 3 ? 0x800 : 0x10000;
    if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return 0;
    return length;
}

} // namespace

WipingString rawToUtf8(const WipingString& raw) {
    WipingString out;
    for (std::size_t i = 0; i < raw.size();) {
        std::uint32_t code = 0;
        const std::size_t sequence = utf8SequenceAt(raw, i, code);
        if (sequence != 0) {
            out.append(raw, i, sequence);
            i += sequence;
        } else {
            appendUtf8(out, codePointOf(static_cast<std::uint8_t>(raw[i])));
            ++i;
        }
    }
    return out;
}

WipingString ansiToUtf8(const SecureBuffer& ansi) {
    WipingString out;
    for (std::uint32_t i = 0; i < ansi.length() && ansi.data()[i] != 0; ++i) {
        appendUtf8(out, codePointOf(ansi.data()[i]));
    }
    return out;
}

bool utf8ToAnsi(std::string_view utf8, SecureBuffer& out) {
    for (std::size_t i = 0; i < utf8.size();) {
        std::uint32_t code = 0;
        std::uint8_t byte = 0;
        const std::size_t sequence = utf8SequenceAt(utf8, i, code);
        if (sequence == 0 || !byteOf(code, byte)) {
            out.release();
            return false;
        }
        out.append(&byte, 1);
        i += sequence;
    }
    return true;
}

} // namespace kpv
