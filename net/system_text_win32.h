#pragma once
// Text conversions at the Windows edge of the network code: UTF-8 in the portable code, UTF-16
// in the system's calls, and one-line UTF-8 texts for the system's error numbers.
#include <cstdint>
#include <string>

namespace kpv::win32 {

// The UTF-16 form of UTF-8 text; bytes that are not UTF-8 become U+FFFD.
std::wstring wideFromUtf8(const std::string& text);

// The UTF-8 form of `length` UTF-16 units.
std::string utf8FromWide(const wchar_t* text, std::size_t length);

// The system's message for `code`, looked up in `module` (a loaded DLL's name, e.g.
// L"winhttp.dll") and then among the system's own messages, on one line without its final
// full stop; empty when the system has none.
std::string systemMessage(std::uint32_t code, const wchar_t* module);

// `fallback` when the system has no text for `code`, else the system's; either way followed by
// the number in brackets, so that a reader can look it up.
std::string describeError(std::uint32_t code, const wchar_t* module, const char* fallback);

} // namespace kpv::win32
