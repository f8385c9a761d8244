#pragma once
// The server endpoint handed to the connection at start-up.
#include "core/secure_buffer.h"

#include <cstdint>

namespace kpv {

inline constexpr std::uint16_t DEFAULT_SERVER_PORT = 55502;

struct ServerAddress {
    std::uint32_t address = 0;                // IPv4, host byte order; 0: resolve hostName instead
    std::uint16_t port = DEFAULT_SERVER_PORT; // host byte order
    SecureBuffer hostName;                    // zero-terminated text
};

} // namespace kpv
