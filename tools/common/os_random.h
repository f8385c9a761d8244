#pragma once
// Bytes from the operating system's random source.
#include "core/secure_buffer.h"

#include <cstdint>

namespace kpv::tools {

// n fresh random bytes in `out` (its old content wiped). False, with `out` empty, when the
// source fails; never falls back to a weaker generator.
bool fillRandom(std::uint32_t n, SecureBuffer& out);

} // namespace kpv::tools
