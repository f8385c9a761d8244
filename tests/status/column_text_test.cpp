#include "status/column_text.h"
#include "tests/support/time_zone.h"

#include <doctest/doctest.h>

#include <string>

using namespace kpv;

namespace {
std::string text(const SecureBuffer& b) {
    REQUIRE(!b.empty());
    REQUIRE(b.data()[b.length() - 1] == 0);
    return b.text();
}
} // namespace

TEST_CASE("sizes pick the unit by strict comparison and group digits in threes") {
    const std::pair<std::uint64_t, const char*> cases[] = {
        {0, "0 bytes"},
        {1000, "1 000 bytes"},
        {10240, "10 240 bytes"},
        {10241, "10 KB"},
        {1234567, "1 205 KB"},
        {10485760, "10 240 KB"},
        {10485761, "10 MB"},
        {4294967296ULL, "4 096 MB"},
        {10737418240ULL, "10 240 MB"},
        {123456789012ULL, "114 GB"},
        {1ULL << 44, "16 TB"},
        {~0ULL, "16 777 215 TB"},
    };
    for (const auto& [bytes, expected] : cases) {
        CAPTURE(bytes);
        CHECK(text(formatSize(bytes)) == expected);
    }
}

TEST_CASE("counts are plain decimal") {
    CHECK(text(formatDecimal(0)) == "0");
    CHECK(text(formatDecimal(1234567)) == "1234567");
    CHECK(text(formatDecimal(4294967295u)) == "4294967295");
}

TEST_CASE("dates are local, zero-padded, without seconds") {
    test::setTimeZone("CET-1");
    CHECK(text(formatDateTime(1700000000)) == "2023-11-14 23:13");
    CHECK(text(formatDateTime(0)) == "1970-01-01 01:00");
    CHECK(text(formatDateTime(1709280300)) == "2024-03-01 09:05"); // 08:05 UTC
    test::setTimeZone("UTC0");
    CHECK(text(formatDateTime(1700000000)) == "2023-11-14 22:13");
    CHECK(text(formatDateTime(4294967295u)) == "2106-02-07 06:28");
}

TEST_CASE("joining drops the first text's zero byte") {
    CHECK(text(joinText(SecureBuffer::fromCString("ab"), SecureBuffer::fromCString("cd"))) ==
          "abcd");
    CHECK(text(joinText(SecureBuffer(), SecureBuffer::fromCString("x"))) == "x");
}
