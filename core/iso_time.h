#pragma once
// Calendar time as ISO 8601 in UTC, the form of every machine-readable time of the system.
#include <cstdint>
#include <string>

namespace kpv {

// "2024-06-01T10:15:02Z", for any 32-bit time (seconds since 1970-01-01 UTC).
std::string isoUtcText(std::uint32_t secondsSince1970);

} // namespace kpv
