#pragma once
// The texts of the list columns. Every result is a zero-terminated text in a SecureBuffer.
#include "core/secure_buffer.h"

#include <cstdint>

namespace kpv {

// "YYYY-MM-DD HH:MM" in the local time zone (seconds are not shown); the empty text when the
// time cannot be converted.
SecureBuffer formatDateTime(std::uint32_t seconds);

// Bytes in the largest unit whose value is above 10 (TB, GB, MB, KB; bytes otherwise), the
// remainder dropped, digits grouped in threes with spaces: "1 205 KB", "0 bytes".
SecureBuffer formatSize(std::uint64_t bytes);

// Decimal digits, no grouping: "1234567".
SecureBuffer formatDecimal(std::uint32_t value);

// The first text without its zero byte, followed by the second.
SecureBuffer joinText(const SecureBuffer& first, const SecureBuffer& second);

} // namespace kpv
