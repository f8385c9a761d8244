#pragma once
// Hexadecimal text to bytes and back, for key material typed on a command line or kept in the
// server's accounts file.
#include "core/secure_buffer.h"

#include <string_view>

namespace kpv::tools {

// Two digits per byte, either case, nothing else (an empty text gives no bytes). False, with
// `out` wiped, on an odd count or any other character.
bool decodeHex(std::string_view text, SecureBuffer& out);

// Lower-case digits appended to `out`, which may be any string type with push_back.
template <typename String>
void appendHex(const SecureBuffer& bytes, String& out) {
    static constexpr char DIGITS[] = "0123456789abcdef";
    for (std::uint32_t i = 0; i < bytes.length(); ++i) {
        out.push_back(DIGITS[bytes.data()[i] >> 4]);
        out.push_back(DIGITS[bytes.data()[i] & 0x0Fu]);
    }
}

} // namespace kpv::tools
