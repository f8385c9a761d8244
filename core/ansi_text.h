#pragma once
// Names from the account list are bytes in the Windows ANSI code page of the Swedish client,
// Windows-1252; everything the client sends or prints for other programs is UTF-8. The one
// table of that code page and both directions of the conversion live here.
#include "core/secure_buffer.h"
#include "core/wiping_allocator.h"

#include <string_view>

namespace kpv {

// The UTF-8 form of a Windows-1252 text, up to its first zero byte (or its end). The five
// bytes that Windows-1252 leaves undefined become U+FFFD.
WipingString ansiToUtf8(const SecureBuffer& ansi);

// Text of unknown encoding (paths, host names and option names from the command line) as UTF-8
// the outputs can carry: valid UTF-8 stays as it is, every other byte is read as
// Windows-1252, the ANSI code page a Windows command line arrives in.
WipingString rawToUtf8(const WipingString& raw);

// Appends the Windows-1252 bytes of a UTF-8 text to `out` (no zero byte). False, with `out`
// wiped, on malformed UTF-8 (overlong forms, surrogates and stray bytes included) or on a
// character that Windows-1252 cannot hold.
bool utf8ToAnsi(std::string_view utf8, SecureBuffer& out);

} // namespace kpv
