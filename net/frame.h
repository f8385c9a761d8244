#pragma once
// The message frame: a 14-byte header ("CHK", a reserved zero byte, the u32 total length,
// the u16 message type and two u16 parameters, all little-endian) followed by the body.
// Frames carry no delimiter: a receiver knows a frame is whole when the byte count equals the
// length field exactly, so bytes beyond the announced length make a buffer incomplete for good.
#include "core/record_stream.h"
#include "core/secure_buffer.h"

#include <cstdint>

namespace kpv {

inline constexpr std::uint32_t FRAME_HEADER_SIZE = 14;
inline constexpr std::uint32_t FRAME_LENGTH_OFFSET = 4;
inline constexpr std::uint32_t MESSAGE_TYPE_OFFSET = 8;
inline constexpr std::uint32_t HEADER_PARAM1_OFFSET = 10;
inline constexpr std::uint32_t HEADER_PARAM2_OFFSET = 12;

inline constexpr std::uint16_t MSG_STATUS_REQUEST = 12; // client to server
inline constexpr std::uint16_t MSG_STATUS_REPLY = 13;   // server to client

// Starts a new frame in `stream`: whatever it held is wiped, then it holds exactly the header
// "CHK", 0, length 14, type 0, parameters 0, with the cursor at 14 so that reads start at the
// body.
void beginFrame(RecordStream& stream);

// Header writes in place. Each returns false and writes nothing when the buffer is too short to
// hold the field.
bool writeMessageType(RecordStream& stream, std::uint16_t messageType);
bool writeHeaderParam1(RecordStream& stream, std::uint16_t value);
bool writeHeaderParam2(RecordStream& stream, std::uint16_t value);
// Sets the length field to the stream's current length in bytes. Call it again after the last
// byte of the body has been appended.
bool writeFrameLength(RecordStream& stream);

// The message type (u16 at offset 8), or 0 when the buffer is shorter than 10 bytes.
std::uint16_t frameMessageType(const SecureBuffer& frame);

// The length field (u32 at offset 4) once the whole header is in; 0 before that.
std::uint32_t frameAnnouncedLength(const SecureBuffer& frame);

// True only when the buffer holds at least 14 bytes, begins "CHK", its length field equals its
// length and its reserved byte is 0.
bool isCompleteFrame(const SecureBuffer& buffer);

// False only when the buffer holds at least 3 bytes and they are not "CHK": such a buffer can
// never become a frame. Fewer than 3 bytes cannot be judged yet and pass.
bool hasFramePrefix(const SecureBuffer& buffer);

} // namespace kpv
