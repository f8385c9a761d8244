#pragma once
// Which implementation computes AES blocks and SHA-256 compressions. The choice is made once,
// from the processor's CPUID bits, the first time a path is asked for:
//   AES: the AES instructions (AES-NI) when present, otherwise the constant-time bit-sliced
//        software cipher (see aes_bitsliced.h), in its SSSE3 build where SSSE3 exists and in
//        its portable build elsewhere.
//   SHA-256: the SHA instructions when present, otherwise the portable compression.
// Every path gives the same bytes. Tests force each path in turn with the overrides below; the
// client never calls them.
#include <cstdint>

namespace kpv::crypto {

enum class AesPath : std::uint8_t { Hardware, BitslicedSsse3, BitslicedPortable };
enum class ShaPath : std::uint8_t { Hardware, Portable };

// What this processor offers (false on every processor that is not x86-64).
bool hardwareAesAvailable() noexcept;
bool hardwareShaAvailable() noexcept;
bool ssse3Available() noexcept;

// The path in use: the forced one, if any, otherwise the best available.
AesPath aesPath() noexcept;
ShaPath shaPath() noexcept;

// For tests and benchmarks: force a path. Forcing a hardware path the processor lacks is
// refused (false, nothing changes); so is the SSSE3 build without SSSE3. An AesCipher keeps the
// path it was built with.
bool forceAesPath(AesPath path) noexcept;
bool forceShaPath(ShaPath path) noexcept;
// Back to the best available paths.
void clearForcedPaths() noexcept;

const char* pathName(AesPath path) noexcept;
const char* pathName(ShaPath path) noexcept;

} // namespace kpv::crypto
