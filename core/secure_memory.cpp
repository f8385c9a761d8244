#include "core/secure_memory.h"

#include <cstdlib>
#include <cstring>

namespace kpv {
namespace {
ReleaseObserver releaseObserver = nullptr;
unsigned allocationsToFail = 0;
unsigned allocationsBeforeFailing = 0;
std::size_t liveBytes = 0;
std::size_t peakBytes = 0;
} // namespace

void secureWipe(void* p, std::size_t n) noexcept {
    if (p == nullptr || n == 0)
        return;
    std::memset(p, 0, n);
    // The empty asm claims to read the memory behind p, so the memset above is never a dead
    // store in the compiler's eyes, whatever is done with the block afterwards.
    __asm__ __volatile__("" : : "r"(p) : "memory");
}

void* secureMalloc(std::size_t n) noexcept {
    if (n == 0)
        return nullptr;
    if (allocationsToFail > 0) {
        if (allocationsBeforeFailing > 0) {
            --allocationsBeforeFailing;
        } else {
            --allocationsToFail;
            return nullptr;
        }
    }
    void* block = std::malloc(n);
    if (block != nullptr) {
        liveBytes += n;
        if (liveBytes > peakBytes)
            peakBytes = liveBytes;
    }
    return block;
}

void secureFree(void* p, std::size_t n) noexcept {
    if (p == nullptr)
        return;
    secureWipe(p, n);
    if (releaseObserver != nullptr)
        releaseObserver(static_cast<const unsigned char*>(p), n);
    liveBytes -= n;
    std::free(p);
}

void setReleaseObserver(ReleaseObserver observer) noexcept {
    releaseObserver = observer;
}

SecureHeapUsage secureHeapUsage() noexcept {
    return {liveBytes, peakBytes};
}

void resetSecureHeapPeak() noexcept {
    peakBytes = liveBytes;
}

void failNextAllocations(unsigned count, unsigned after) noexcept {
    allocationsToFail = count;
    allocationsBeforeFailing = after;
}

} // namespace kpv
