#include "core/secure_memory.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace kpv {
namespace {
// The alert worker allocates on a thread of its own: the counts are shared by both threads.
// The test seams (the observer, the failures) are set by single-threaded tests only.
ReleaseObserver releaseObserver = nullptr;
std::atomic<unsigned> allocationsToFail{0};
unsigned allocationsBeforeFailing = 0;
std::atomic<std::size_t> liveBytes{0};
std::atomic<std::size_t> peakBytes{0};
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
    if (allocationsToFail.load(std::memory_order_relaxed) > 0) {
        if (allocationsBeforeFailing > 0) {
            --allocationsBeforeFailing;
        } else {
            --allocationsToFail;
            return nullptr;
        }
    }
    void* block = std::malloc(n);
    if (block != nullptr) {
        const std::size_t live = liveBytes.fetch_add(n, std::memory_order_relaxed) + n;
        std::size_t peak = peakBytes.load(std::memory_order_relaxed);
        while (live > peak &&
               !peakBytes.compare_exchange_weak(peak, live, std::memory_order_relaxed))
            ;
    }
    return block;
}

void secureFree(void* p, std::size_t n) noexcept {
    if (p == nullptr)
        return;
    secureWipe(p, n);
    if (releaseObserver != nullptr)
        releaseObserver(static_cast<const unsigned char*>(p), n);
    liveBytes.fetch_sub(n, std::memory_order_relaxed);
    std::free(p);
}

void setReleaseObserver(ReleaseObserver observer) noexcept {
    releaseObserver = observer;
}

SecureHeapUsage secureHeapUsage() noexcept {
    return {liveBytes.load(std::memory_order_relaxed), peakBytes.load(std::memory_order_relaxed)};
}

void resetSecureHeapPeak() noexcept {
    peakBytes.store(liveBytes.load(std::memory_order_relaxed), std::memory_order_relaxed);
}

void failNextAllocations(unsigned count, unsigned after) noexcept {
    allocationsToFail = count;
    allocationsBeforeFailing = after;
}

} // namespace kpv
