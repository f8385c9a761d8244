#pragma once
// settings.bin as both the client and kopiavakt-check read it: a u16 warning period in days.
#include <cstdint>

namespace kpv {

inline constexpr const char* SETTINGS_FILE = "settings.bin";

// The stored period in days; 0 when the file is missing, does not load or is short.
std::uint16_t readWarningDays(const char* path = SETTINGS_FILE);
// The period in seconds that the outdated rule uses: days x 86400 (at most the largest 32-bit
// value), 3 days when none is stored.
std::uint32_t warningPeriodSeconds(std::uint16_t days);

} // namespace kpv
