#pragma once
// Conversions between the program's own UTF-8 texts, the UTF-16 that Windows shows, and the
// ANSI code page in which account names and paths are kept.
#include "core/secure_buffer.h"

#include <string>

namespace kpv {

// The UTF-16 form of a zero-terminated UTF-8 text, without its zero. Malformed sequences
// become U+FFFD; a null pointer gives the empty text.
std::wstring widenUtf8(const char* utf8);

// The zero-terminated UTF-16 text in the ANSI code page, terminator included, in at most
// `maxBytes` bytes. Empty when a character has no exact ANSI form (a best-fit look-alike
// could name a different file) or the result does not fit.
SecureBuffer narrowToAnsi(const wchar_t* text, std::uint32_t maxBytes);

// The UTF-8 form of a zero-terminated UTF-16 text; empty for a null pointer or a failure.
std::string utf8Of(const wchar_t* text);

} // namespace kpv
