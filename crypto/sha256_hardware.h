#pragma once
// SHA-256 compression with the x86-64 SHA instructions. Only call it when
// crypto::hardwareShaAvailable() is true; elsewhere it is never compiled in and must not be called.
#include <cstddef>
#include <cstdint>

namespace kpv {

// Compresses `count` consecutive 64-byte blocks into the eight state words H0..H7.
void sha256HardwareCompress(std::uint32_t* state, const std::uint8_t* blocks,
                            std::size_t count) noexcept;

} // namespace kpv
