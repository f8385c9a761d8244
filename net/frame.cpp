#include "net/frame.h"

namespace kpv {
namespace {

constexpr std::uint8_t MAGIC[3] = {0x43, 0x48, 0x4B}; // "CHK"
constexpr std::uint32_t RESERVED_OFFSET = 3;

bool startsWithMagic(const SecureBuffer& buffer) {
    const std::uint8_t* bytes = buffer.data();
    return bytes[0] == MAGIC[0] && bytes[1] == MAGIC[1] && bytes[2] == MAGIC[2];
}

std::uint32_t u32At(const SecureBuffer& buffer, std::uint32_t offset) {
    const std::uint8_t* at = buffer.data() + offset;
    return std::uint32_t(at[0]) | std::uint32_t(at[1]) << 8 | std::uint32_t(at[2]) << 16 |
           std::uint32_t(at[3]) << 24;
}

} // namespace

void beginFrame(RecordStream& stream) {
    // A header written over earlier contents would not begin the buffer's frame: start afresh.
    stream.contents.release();
    stream.contents.appendZeros(FRAME_HEADER_SIZE);
    if (stream.contents.length() == FRAME_HEADER_SIZE) {
        std::uint8_t* bytes = stream.contents.data();
        bytes[0] = MAGIC[0];
        bytes[1] = MAGIC[1];
        bytes[2] = MAGIC[2];
        stream.writeU32At(FRAME_LENGTH_OFFSET, FRAME_HEADER_SIZE);
    }
    const std::uint32_t length = stream.contents.length();
    stream.cursor = length < FRAME_HEADER_SIZE ? length : FRAME_HEADER_SIZE;
}

bool writeMessageType(RecordStream& stream, std::uint16_t messageType) {
    return stream.writeU16At(MESSAGE_TYPE_OFFSET, messageType);
}

bool writeHeaderParam1(RecordStream& stream, std::uint16_t value) {
    return stream.writeU16At(HEADER_PARAM1_OFFSET, value);
}

bool writeHeaderParam2(RecordStream& stream, std::uint16_t value) {
    return stream.writeU16At(HEADER_PARAM2_OFFSET, value);
}

bool writeFrameLength(RecordStream& stream) {
    return stream.writeU32At(FRAME_LENGTH_OFFSET, stream.contents.length());
}

std::uint16_t frameMessageType(const SecureBuffer& frame) {
    if (frame.length() < MESSAGE_TYPE_OFFSET + 2)
        return 0;
    const std::uint8_t* at = frame.data() + MESSAGE_TYPE_OFFSET;
    return static_cast<std::uint16_t>(std::uint32_t(at[0]) | std::uint32_t(at[1]) << 8);
}

std::uint32_t frameAnnouncedLength(const SecureBuffer& frame) {
    return frame.length() < FRAME_HEADER_SIZE ? 0 : u32At(frame, FRAME_LENGTH_OFFSET);
}

bool isCompleteFrame(const SecureBuffer& buffer) {
    return buffer.length() >= FRAME_HEADER_SIZE && startsWithMagic(buffer) &&
           u32At(buffer, FRAME_LENGTH_OFFSET) == buffer.length() &&
           buffer.data()[RESERVED_OFFSET] == 0;
}

bool hasFramePrefix(const SecureBuffer& buffer) {
    return buffer.length() < 3 || startsWithMagic(buffer);
}

} // namespace kpv
