#pragma once
// The frames the server receives: a 14-byte header ("CHK", a zero byte, the u32 total length,
// the u16 message type and two u16 parameters), then the body, as net/frame.h reads and writes
// it. The server reads the header first and decides from it alone how many more bytes it will
// accept.
#include "core/secure_buffer.h"
#include "net/frame.h"

#include <cstdint>
#include <vector>

namespace kpv::tools {

// The largest status request: 65535 ids (the count is a u16).
inline constexpr std::uint32_t MAX_REQUEST_SIZE = 20 + 4 * 65535;

struct FrameHeader {
    std::uint32_t length = 0; // the whole frame, header included
    std::uint16_t messageType = 0;
    std::uint16_t headerParam1 = 0;
    std::uint16_t headerParam2 = 0;
};

enum class HeaderVerdict {
    Ok,
    BadMagic,    // bytes 0-2 are not "CHK"
    BadReserved, // byte 3 is not 0
    BadLength,   // shorter than a header, or longer than MAX_REQUEST_SIZE
    BadType,     // not a status request
};

// Checks the first FRAME_HEADER_SIZE bytes of a frame and fills `out` from them.
HeaderVerdict checkRequestHeader(const std::uint8_t* header, FrameHeader& out);
const char* verdictText(HeaderVerdict verdict);

// Reads the account ids of a whole status request frame (header included): the u16 count N,
// then a blob of exactly 4 * N bytes holding the u32 ids, ending exactly at the frame's end.
// False (ids cleared) on any other shape.
bool parseStatusRequest(const SecureBuffer& frame, std::vector<std::uint32_t>& ids);

} // namespace kpv::tools
