#include "crypto/crypto_paths.h"

#include <atomic>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

namespace kpv::crypto {
namespace {

struct CpuFeatures {
    bool aes = false;
    bool sha = false;
    bool ssse3 = false;
};

// CPUID leaf 1: ECX bit 25 AES, bit 19 SSE4.1, bit 9 SSSE3; leaf 7: EBX bit 29 SHA. The
// hardware paths also use SSE4.1 and SSSE3 instructions, so those bits are required too.
CpuFeatures detect() noexcept {
    CpuFeatures f;
#if defined(__x86_64__) || defined(__i386__)
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (__get_cpuid(1, &a, &b, &c, &d) == 0)
        return f;
    f.ssse3 = (c & (1u << 9)) != 0;
    const bool vectors = f.ssse3 && (c & (1u << 19)) != 0;
    f.aes = vectors && (c & (1u << 25)) != 0;
    if (__get_cpuid_count(7, 0, &a, &b, &c, &d) != 0)
        f.sha = vectors && (b & (1u << 29)) != 0;
#endif
    return f;
}

const CpuFeatures& features() noexcept {
    static const CpuFeatures detected = detect();
    return detected;
}

// 0: not forced; otherwise 1 + the path's value.
std::atomic<std::uint8_t> forcedAes{0};
std::atomic<std::uint8_t> forcedSha{0};

} // namespace

bool hardwareAesAvailable() noexcept {
    return features().aes;
}

bool hardwareShaAvailable() noexcept {
    return features().sha;
}

bool ssse3Available() noexcept {
    return features().ssse3;
}

namespace {

bool available(AesPath path) noexcept {
    switch (path) {
    case AesPath::Hardware:
        return hardwareAesAvailable();
    case AesPath::BitslicedSsse3:
        return ssse3Available();
    case AesPath::BitslicedPortable:
        return true;
    }
    return false;
}

} // namespace

AesPath aesPath() noexcept {
    const std::uint8_t forced = forcedAes.load(std::memory_order_relaxed);
    if (forced != 0)
        return static_cast<AesPath>(forced - 1);
    if (hardwareAesAvailable())
        return AesPath::Hardware;
    return ssse3Available() ? AesPath::BitslicedSsse3 : AesPath::BitslicedPortable;
}

ShaPath shaPath() noexcept {
    const std::uint8_t forced = forcedSha.load(std::memory_order_relaxed);
    if (forced != 0)
        return static_cast<ShaPath>(forced - 1);
    return hardwareShaAvailable() ? ShaPath::Hardware : ShaPath::Portable;
}

bool forceAesPath(AesPath path) noexcept {
    if (!available(path))
        return false;
    forcedAes.store(static_cast<std::uint8_t>(static_cast<std::uint8_t>(path) + 1));
    return true;
}

bool forceShaPath(ShaPath path) noexcept {
    if (path == ShaPath::Hardware && !hardwareShaAvailable())
        return false;
    forcedSha.store(static_cast<std::uint8_t>(static_cast<std::uint8_t>(path) + 1));
    return true;
}

void clearForcedPaths() noexcept {
    forcedAes.store(0);
    forcedSha.store(0);
}

const char* pathName(AesPath path) noexcept {
    switch (path) {
    case AesPath::Hardware:
        return "AES instructions";
    case AesPath::BitslicedSsse3:
        return "bit-sliced, SSSE3";
    case AesPath::BitslicedPortable:
        return "bit-sliced, portable";
    }
    return "unknown";
}

const char* pathName(ShaPath path) noexcept {
    return path == ShaPath::Hardware ? "SHA instructions" : "portable";
}

} // namespace kpv::crypto
