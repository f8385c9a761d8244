#pragma once
// Names from the account list are bytes in the Windows ANSI code page of the Swedish client,
// Windows-1252; everything the client sends or prints for other programs is UTF-8.
#include "core/secure_buffer.h"
#include "core/wiping_allocator.h"

#include <cstdint>

namespace kpv {

// The UTF-8 form of a Windows-1252 text, up to its first zero byte (or its end). The five
// bytes that Windows-1252 leaves undefined become U+FFFD.
WipingString ansiToUtf8(const SecureBuffer& ansi);

// Calendar time as ISO 8601 in UTC, "2024-06-01T10:15:02Z"; for any 32-bit time.
WipingString isoUtcTime(std::uint32_t secondsSince1970);

// Text of unknown encoding (paths, host names and option names from the command line) as UTF-8
// the outputs can carry: valid UTF-8 stays as it is, every other byte is read as
// Windows-1252, the ANSI code page a Windows command line arrives in.
WipingString rawToUtf8(const WipingString& raw);

} // namespace kpv
