#pragma once
// Text conversion and output of the automation tool. Everything printed is UTF-8 and goes to
// the raw standard handles, so a redirected file holds exactly the bytes written.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kpv::automation {

std::string toUtf8(std::wstring_view text);
std::wstring fromUtf8(std::string_view text);

// Writes UTF-8 bytes to standard output (out) or standard error (err), unchanged.
void out(std::string_view text);
void err(std::string_view text);

// A decimal or 0x-prefixed hexadecimal number; nothing when the text is not wholly a number.
std::optional<std::int64_t> parseNumber(std::wstring_view text);

// The text with tabs, CR and LF written as \t, \r and \n, so one value stays on one line
// (backslashes stay as they are: paths read naturally, at the price of ambiguity).
std::string escapeControls(std::string_view text);

} // namespace kpv::automation
