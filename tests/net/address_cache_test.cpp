#include "net/address_cache.h"
#include "tests/support/temp_folder.h"

#include <doctest/doctest.h>

#include <filesystem>

using kpv::test::readFileBytes;
using kpv::test::TempFolder;
using kpv::test::writeFileBytes;
using Bytes = std::vector<std::uint8_t>;

TEST_CASE("last_ip.bin holds the address in network order inside the file envelope") {
    TempFolder folder;
    CHECK(kpv::saveCachedAddress(0xC0000207)); // 192.0.2.7
    CHECK(readFileBytes("last_ip.bin") == Bytes{0x04, 0x00, 0x00, 0x00, 0xC0, 0x00, 0x02, 0x07});
    std::uint32_t address = 0;
    CHECK(kpv::loadCachedAddress(address));
    CHECK(address == 0xC0000207);

    writeFileBytes("last_ip.bin", {0x04, 0x00, 0x00, 0x00, 0x7F, 0x00, 0x00, 0x01});
    CHECK(kpv::loadCachedAddress(address));
    CHECK(address == 0x7F000001);
}

TEST_CASE("a cache that cannot give a usable address is no cache") {
    TempFolder folder;
    std::uint32_t address = 0x01020304;
    CHECK_FALSE(kpv::loadCachedAddress(address)); // missing
    writeFileBytes("last_ip.bin", {0x02, 0x00, 0x00, 0x00, 0x7F, 0x00});
    CHECK_FALSE(kpv::loadCachedAddress(address)); // content too short for an address
    writeFileBytes("last_ip.bin", {0x04, 0x00, 0x00, 0x00, 0x7F});
    CHECK_FALSE(kpv::loadCachedAddress(address)); // shorter than its envelope says
    writeFileBytes("last_ip.bin", {0x04, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00});
    CHECK_FALSE(kpv::loadCachedAddress(address)); // 0.0.0.0
    CHECK(address == 0x01020304);

    std::filesystem::remove("last_ip.bin");
    std::filesystem::create_directory("last_ip.bin");
    CHECK_FALSE(kpv::saveCachedAddress(0x7F000001));
}
