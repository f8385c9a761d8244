#include "core/ansi_text.h"
#include "tests/support/hex.h"

#include <doctest/doctest.h>

#include <string>

using namespace kpv;
using kpv::test::fromHex;

namespace {

std::string text(const WipingString& s) {
    return std::string(s.data(), s.size());
}

} // namespace

TEST_CASE("Windows-1252 to UTF-8") {
    // a, en dash, euro sign, one undefined byte, then Swedish letters, and nothing after the 0.
    const std::uint8_t name[] = {'a', 0x96, 0x80, 0x81, 0xE5, 0xE4, 0xF6, 0xC5, 0, 'x'};
    CHECK(text(ansiToUtf8(SecureBuffer::ofBytes(name, sizeof name))) ==
          "a\u2013\u20AC\uFFFD\u00E5\u00E4\u00F6\u00C5");
}

TEST_CASE("UTF-8 to Windows-1252") {
    SecureBuffer out;
    REQUIRE(utf8ToAnsi("Kontoret åäö ÅÄÖ", out));
    CHECK(out.equals(fromHex("4b6f6e746f726574 20 e5e4f6 20 c5c4d6")));
    out.release();
    // The letters Windows-1252 keeps in 0x80-0x9F: euro sign, en dash, S with caron.
    REQUIRE(utf8ToAnsi("€–Š", out));
    CHECK(out.equals(fromHex("80 96 8a")));
    out.release();
    REQUIRE(utf8ToAnsi("", out));
    CHECK(out.empty());

    out.append("x", 1);
    CHECK_FALSE(utf8ToAnsi("\xC3", out)); // cut short
    CHECK(out.empty());
    CHECK_FALSE(utf8ToAnsi("\xC0\xA5", out));     // overlong
    CHECK_FALSE(utf8ToAnsi("\xED\xA0\x80", out)); // surrogate
    CHECK_FALSE(utf8ToAnsi("\x80", out));         // stray continuation byte
    CHECK_FALSE(utf8ToAnsi("\xC2\x81", out));     // U+0081, unused in Windows-1252
    CHECK_FALSE(utf8ToAnsi("\xEF\xBF\xBD", out)); // U+FFFD, what the table marks unused with
    CHECK_FALSE(utf8ToAnsi("Ω", out));            // not in Windows-1252
    CHECK_FALSE(utf8ToAnsi("\xF0\x9F\x98\x80", out));
}

TEST_CASE("every defined Windows-1252 byte goes to UTF-8 and back unchanged") {
    for (unsigned byte = 1; byte < 256; ++byte) {
        CAPTURE(byte);
        const auto ansi = static_cast<std::uint8_t>(byte);
        const WipingString utf8 = ansiToUtf8(SecureBuffer::ofBytes(&ansi, 1));
        SecureBuffer back;
        const bool undefined =
            byte == 0x81 || byte == 0x8D || byte == 0x8F || byte == 0x90 || byte == 0x9D;
        CHECK(utf8ToAnsi(utf8, back) == !undefined);
        CHECK(rawToUtf8(utf8) == utf8); // already UTF-8: left as it is
        if (!undefined)
            CHECK(back.equals(SecureBuffer::ofBytes(&ansi, 1)));
    }
}
