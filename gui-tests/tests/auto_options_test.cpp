// The command-line and text helpers of kpv-auto: what the GUI and installer cases' arguments
// turn into.
#include "gui-tests/auto/options.h"
#include "gui-tests/auto/text.h"

#include <doctest/doctest.h>

using namespace kpv::automation;

namespace {

const std::vector<CommandShape> COMMANDS = {
    {"key", "press a key", {"vk", "title", "child"}, {"settle", "ok"}, "WORD"},
    {"rows", "rows", {"count"}},
    {"as-user", "run a program", {}, {}, "", true},
};

ParsedCommandLine parse(std::vector<std::string> words) {
    return parseCommandLine(std::move(words), COMMANDS, "test", "");
}

} // namespace

TEST_CASE("options take values, flags and plain words in any order") {
    ParsedCommandLine parsed =
        parse({"key", "40006", "--timeout", "2500", "--settle", "--child", "1006", "--child",
               "0x3f0", "--title", "\xC3\x85ke", "/home/a b.lnk"});
    REQUIRE(parsed.command == 0u);
    Options& options = parsed.options;
    REQUIRE(options.ok());
    CHECK(options.timeoutMs() == 2500);
    CHECK(options.flag(L"settle"));
    CHECK_FALSE(options.flag(L"ok"));
    CHECK(options.positional() == std::vector<std::wstring>{L"40006", L"/home/a b.lnk"});
    CHECK(options.all(L"child") == std::vector<std::wstring>{L"1006", L"0x3f0"});
    CHECK(options.text(L"title") == std::wstring(L"Åke"));
    CHECK_FALSE(options.text(L"vk"));

    // A pass-through command keeps every word, switches of its own included.
    ParsedCommandLine asUser = parse({"as-user", "Z:\\setup.exe", "/S", "--timeout", "5"});
    REQUIRE(asUser.command == 2u);
    CHECK(asUser.options.positional() ==
          std::vector<std::wstring>{L"Z:\\setup.exe", L"/S", L"--timeout", L"5"});
}

TEST_CASE("bad command lines are reported, not guessed; --help answers") {
    for (const std::vector<std::string>& words : std::vector<std::vector<std::string>>{
             {"key", "--vk"}, {"rows", "--unknown", "1"}, {"rows", "7"}, {"nothing"}, {}}) {
        ParsedCommandLine parsed = parse(words);
        CHECK_FALSE(parsed.command);
        CHECK(parsed.exitCode == 2);
        CHECK(parsed.message.find("kpv-auto: ") == 0);
    }
    for (const char* help : {"help", "--help"}) {
        ParsedCommandLine parsed = parse({help});
        CHECK_FALSE(parsed.command);
        CHECK(parsed.exitCode == 0);
        CHECK(parsed.message.find("rows") != std::string::npos);
    }
    ParsedCommandLine keyHelp = parse({"key", "--help"});
    CHECK(keyHelp.exitCode == 0);
    CHECK(keyHelp.message.find("--vk") != std::string::npos);

    Options notNumber;
    notNumber.addValue(L"count", L"three");
    CHECK_FALSE(notNumber.number(L"count"));
    CHECK_FALSE(notNumber.ok());

    Options tooLong;
    tooLong.addValue(L"timeout", L"3600001");
    tooLong.timeoutMs();
    CHECK_FALSE(tooLong.ok());

    Options defaults;
    CHECK(defaults.timeoutMs() == 10000);
    CHECK(defaults.timeoutMs(30000) == 30000);
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
