#pragma once
// UTF-8 text to the Windows-1252 bytes in which the client shows and stores names.
#include "core/secure_buffer.h"

#include <string_view>

namespace kpv::tools {

// Appends the Windows-1252 bytes of a UTF-8 text to `out` (no zero byte). False, with `out`
// wiped, on malformed UTF-8 (overlong forms, surrogates and stray bytes included) or on a
// character that Windows-1252 cannot hold.
bool utf8ToCp1252(std::string_view utf8, SecureBuffer& out);

} // namespace kpv::tools
