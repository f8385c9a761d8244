// The command-line and text helpers of kpv-auto: what the GUI cases' arguments turn into.
#include "gui-tests/auto/options.h"
#include "gui-tests/auto/text.h"

#include <doctest/doctest.h>

using namespace kpv::automation;

TEST_CASE("options take values, flags and positional words in any order") {
    Options options({L"40006", L"--timeout", L"2500", L"--settle", L"--child", L"1006", L"--child",
                     L"0x3f0", L"--text", L"Åke"},
                    {L"settle", L"ok"});
    REQUIRE(options.ok());
    CHECK(options.timeoutMs() == 2500);
    CHECK(options.flag(L"settle"));
    CHECK_FALSE(options.flag(L"ok"));
    CHECK(options.positional() == std::vector<std::wstring>{L"40006"});
    CHECK(options.all(L"child") == std::vector<std::wstring>{L"1006", L"0x3f0"});
    CHECK(options.text(L"text") == std::wstring(L"Åke"));
    CHECK_FALSE(options.text(L"title"));
}

TEST_CASE("bad option values are reported, not guessed") {
    Options missing({L"--path"}, {});
    CHECK_FALSE(missing.ok());

    Options notNumber({L"--count", L"three"}, {});
    CHECK_FALSE(notNumber.number(L"count"));
    CHECK_FALSE(notNumber.ok());

    Options tooLong({L"--timeout", L"3600001"}, {});
    tooLong.timeoutMs();
    CHECK_FALSE(tooLong.ok());

    Options defaults({}, {});
    CHECK(defaults.timeoutMs() == 10000);
    CHECK(defaults.ok());
}

TEST_CASE("numbers are decimal or 0x hexadecimal, whole words only") {
    CHECK(parseNumber(L"1084") == 1084);
    CHECK(parseNumber(L"0xF060") == 0xF060);
    CHECK(parseNumber(L"-1") == -1);
    CHECK_FALSE(parseNumber(L""));
    CHECK_FALSE(parseNumber(L"12ab"));
    CHECK_FALSE(parseNumber(L"123456789012345678901"));
}

TEST_CASE("texts cross to UTF-8 and back; controls stay on one line") {
    const std::wstring swedish = L"Välj fjärr-logg fil... Öppna ";
    CHECK(toUtf8(swedish) == "V\xC3\xA4lj fj\xC3\xA4rr-logg fil... \xC3\x96ppna ");
    CHECK(fromUtf8(toUtf8(swedish)) == swedish);
    CHECK(toUtf8(L"").empty());
    CHECK(escapeControls("a\tb\r\nc\\d") == "a\\tb\\r\\nc\\d");
}
