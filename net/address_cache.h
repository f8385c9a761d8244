#pragma once
// last_ip.bin in the working folder: the last resolved server address, so that the server can
// still be reached when name resolution fails. A data file whose content is one u32 written
// little-endian whose four bytes are the IPv4 address in network order: for 192.0.2.7 the
// file is 04 00 00 00 C0 00 02 07.
#include <cstdint>

namespace kpv {

inline constexpr const char* ADDRESS_CACHE_FILE = "last_ip.bin";

// `address` in host byte order. False when the file cannot be opened or written.
bool saveCachedAddress(std::uint32_t address);

// True with the cached address in host byte order. False, `address` unchanged, when the file
// is missing, does not load, holds fewer than four bytes or holds 0.0.0.0.
bool loadCachedAddress(std::uint32_t& address);

} // namespace kpv
