#include "net/address_cache.h"

#include "core/data_file.h"

namespace kpv {
namespace {

// The file's u32 is read little-endian, so its low byte is the first octet.
std::uint32_t swapOctets(std::uint32_t value) {
    return (value & 0xFFu) << 24 | (value >> 8 & 0xFFu) << 16 | (value >> 16 & 0xFFu) << 8 |
           (value >> 24 & 0xFFu);
}

} // namespace

bool saveCachedAddress(std::uint32_t address) {
    RecordStream stream;
    stream.appendU32(swapOctets(address));
    return saveDataFile(ADDRESS_CACHE_FILE, stream);
}

bool loadCachedAddress(std::uint32_t& address) {
    RecordStream stream;
    if (!loadDataFile(ADDRESS_CACHE_FILE, stream) || stream.length() < 4)
        return false;
    const std::uint32_t cached = swapOctets(stream.readU32());
    // 0.0.0.0 would reach the local machine on some systems, never the server.
    if (cached == 0)
        return false;
    address = cached;
    return true;
}

} // namespace kpv
