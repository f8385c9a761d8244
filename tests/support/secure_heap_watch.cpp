#include "tests/support/secure_heap_watch.h"

#include <atomic>

extern "C" {
void* __real_kpv_secure_heap_take(std::size_t n) noexcept;
void __real_kpv_secure_heap_give(void* block, std::size_t n) noexcept;
void* __wrap_kpv_secure_heap_take(std::size_t n) noexcept;
void __wrap_kpv_secure_heap_give(void* block, std::size_t n) noexcept;
}

namespace kpv::test {
namespace {
// The alert worker allocates on a thread of its own: the counts are shared by both threads.
// The observer and the failures are set by single-threaded tests only.
ReleaseObserver releaseObserver = nullptr;
std::atomic<unsigned> allocationsToFail{0};
unsigned allocationsBeforeFailing = 0;
std::atomic<std::size_t> liveBytes{0};
std::atomic<std::size_t> peakBytes{0};

bool refuseThisAllocation() noexcept {
    if (allocationsToFail.load(std::memory_order_relaxed) == 0)
        return false;
    if (allocationsBeforeFailing > 0) {
        --allocationsBeforeFailing;
        return false;
    }
    --allocationsToFail;
    return true;
}

void countTaken(std::size_t n) noexcept {
    const std::size_t live = liveBytes.fetch_add(n, std::memory_order_relaxed) + n;
    std::size_t peak = peakBytes.load(std::memory_order_relaxed);
    while (live > peak && !peakBytes.compare_exchange_weak(peak, live, std::memory_order_relaxed))
        ;
}
} // namespace

void watchReleases(ReleaseObserver observer) noexcept {
    releaseObserver = observer;
}

void failNextAllocations(unsigned count, unsigned after) noexcept {
    allocationsToFail = count;
    allocationsBeforeFailing = after;
}

SecureHeapUsage secureHeapUsage() noexcept {
    return {liveBytes.load(std::memory_order_relaxed), peakBytes.load(std::memory_order_relaxed)};
}

void resetSecureHeapPeak() noexcept {
    peakBytes.store(liveBytes.load(std::memory_order_relaxed), std::memory_order_relaxed);
}

} // namespace kpv::test

extern "C" {

void* __wrap_kpv_secure_heap_take(std::size_t n) noexcept {
    if (kpv::test::refuseThisAllocation())
        return nullptr;
    void* block = __real_kpv_secure_heap_take(n);
    if (block != nullptr)
        kpv::test::countTaken(n);
    return block;
}

void __wrap_kpv_secure_heap_give(void* block, std::size_t n) noexcept {
    if (kpv::test::releaseObserver != nullptr)
        kpv::test::releaseObserver(static_cast<const unsigned char*>(block), n);
    kpv::test::liveBytes.fetch_sub(n, std::memory_order_relaxed);
    __real_kpv_secure_heap_give(block, n);
}
}
