#include "tools/common/byte_writer.h"

namespace kpv::tools {

void ByteWriter::u8(std::uint32_t value) {
    const std::uint8_t b = static_cast<std::uint8_t>(value & 0xFFu);
    out_.append(&b, 1);
}

void ByteWriter::u16(std::uint32_t value) {
    const std::uint8_t b[2] = {static_cast<std::uint8_t>(value & 0xFFu),
                               static_cast<std::uint8_t>((value >> 8) & 0xFFu)};
    out_.append(b, 2);
}

void ByteWriter::u32(std::uint32_t value) {
    const std::uint8_t b[4] = {static_cast<std::uint8_t>(value & 0xFFu),
                               static_cast<std::uint8_t>((value >> 8) & 0xFFu),
                               static_cast<std::uint8_t>((value >> 16) & 0xFFu),
                               static_cast<std::uint8_t>((value >> 24) & 0xFFu)};
    out_.append(b, 4);
}

void ByteWriter::blob(const SecureBuffer& data) {
    u32(data.length());
    out_.append(data);
}

bool ByteWriter::patchU32(std::uint32_t offset, std::uint32_t value) {
    if (out_.length() < 4 || offset > out_.length() - 4)
        return false;
    std::uint8_t* p = out_.data() + offset;
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<std::uint8_t>((value >> (8 * i)) & 0xFFu);
    return true;
}

std::uint32_t loadU32(const std::uint8_t* p) noexcept {
    return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
           (std::uint32_t(p[3]) << 24);
}

std::uint16_t loadU16(const std::uint8_t* p) noexcept {
    return static_cast<std::uint16_t>(std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8));
}

} // namespace kpv::tools
