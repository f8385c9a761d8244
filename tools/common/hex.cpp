#include "tools/common/hex.h"

#include "core/secure_memory.h"

namespace kpv::tools {
namespace {

int digitValue(char c) noexcept {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

bool decodeHex(std::string_view text, SecureBuffer& out) {
    out.release();
    if (text.size() % 2 != 0 || text.size() / 2 > 0xFFFFFFFFu)
        return false;
    const auto n = static_cast<std::uint32_t>(text.size() / 2);
    if (n == 0)
        return true;
    out.allocate(n);
    for (std::uint32_t i = 0; i < n; ++i) {
        const int high = digitValue(text[2 * std::size_t(i)]);
        const int low = digitValue(text[2 * std::size_t(i) + 1]);
        if (high < 0 || low < 0) {
            out.release();
            return false;
        }
        out.data()[i] = static_cast<std::uint8_t>((high << 4) | low);
    }
    return true;
}

} // namespace kpv::tools
