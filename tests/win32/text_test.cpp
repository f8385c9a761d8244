#include "app/win32/text_win32.h"

#include <doctest/doctest.h>

#include <windows.h>

#include <cstring>
#include <string>

using namespace kpv;

TEST_CASE("UTF-8 texts become the UTF-16 that Windows shows") {
    CHECK(widenUtf8("Välj fjärr-logg fil...") == L"V\u00e4lj fj\u00e4rr-logg fil...");
    CHECK(widenUtf8("Öppna ") == L"\u00d6ppna ");
    CHECK(widenUtf8("") == L"");
    CHECK(widenUtf8(nullptr) == L"");
    // A malformed sequence is shown, not dropped with the rest of the text.
    std::wstring broken = widenUtf8("a\xC3z");
    CHECK(broken.size() == 3);
    CHECK(broken.front() == L'a');
    CHECK(broken.back() == L'z');
}

TEST_CASE("paths go to the ANSI code page only when it can spell them exactly") {
    SecureBuffer plain = narrowToAnsi(L"C:\\data\\konto.rlf", 260);
    REQUIRE(plain.length() == 18);
    CHECK(std::strcmp(plain.text(), "C:\\data\\konto.rlf") == 0);

    // Exactly the room for the text and its zero byte, and one byte less.
    CHECK(narrowToAnsi(L"abc", 4).length() == 4);
    CHECK(narrowToAnsi(L"abc", 3).empty());
    CHECK(narrowToAnsi(L"abc", 0).empty());
    CHECK(narrowToAnsi(nullptr, 10).empty());

    // A lone surrogate has no form in any code page.
    const wchar_t lone[] = {L'a', static_cast<wchar_t>(0xD800), L'b', 0};
    CHECK(narrowToAnsi(lone, 16).empty());

    if (GetACP() == 1252) {
        SecureBuffer swedish = narrowToAnsi(L"C:\\Kopior \u00e5\u00e4\u00f6", 260);
        REQUIRE(swedish.length() == 14);
        CHECK(swedish.data()[10] == 0xE5);
        CHECK(swedish.data()[12] == 0xF6);
        // Windows-1252 has no "ő": the best-fit "o" could name another file.
        CHECK(narrowToAnsi(L"C:\\\u0151.rlf", 260).empty());
    }
}
