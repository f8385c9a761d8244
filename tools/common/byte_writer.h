#pragma once
// Little-endian integers and length-prefixed blobs appended to a wiping buffer: the byte layer
// of the tools' frames and files, kept apart from the client's own record stream so that the
// tools check the client rather than mirror it.
#include "core/secure_buffer.h"

#include <cstdint>
#include <utility>

namespace kpv::tools {

class ByteWriter {
  public:
    void u8(std::uint32_t value);  // the low 8 bits
    void u16(std::uint32_t value); // the low 16 bits, least significant byte first
    void u32(std::uint32_t value); // least significant byte first
    void bytes(const void* data, std::uint32_t n) { out_.append(data, n); }
    void bytes(const SecureBuffer& data) { out_.append(data); }
    // A u32 byte count, then the bytes.
    void blob(const SecureBuffer& data);
    // Overwrites the u32 at offset; false (nothing written) when it does not fit.
    bool patchU32(std::uint32_t offset, std::uint32_t value);

    std::uint32_t length() const noexcept { return out_.length(); }
    const SecureBuffer& buffer() const noexcept { return out_; }
    SecureBuffer take() noexcept { return std::move(out_); }

  private:
    SecureBuffer out_;
};

// The u32 at offset (least significant byte first); the caller has checked that 4 bytes exist.
std::uint32_t loadU32(const std::uint8_t* p) noexcept;
std::uint16_t loadU16(const std::uint8_t* p) noexcept;

} // namespace kpv::tools
