#pragma once
// What secure storage takes from and gives back to the heap, seen from a test, benchmark or
// fuzz target: it wraps the heap calls of core/secure_heap.h at link time, so the product
// carries no hook of its own. Linking kpv_secure_heap_watch adds the wrap.
#include <cstddef>

namespace kpv::test {

// Sees every block after its wipe and before it returns to the heap; null stops watching.
// Set by single-threaded tests only.
using ReleaseObserver = void (*)(const unsigned char* block, std::size_t size);
void watchReleases(ReleaseObserver observer) noexcept;

// After `after` more calls that succeed, the next `count` allocations of secure storage fail
// as if the heap were exhausted.
void failNextAllocations(unsigned count, unsigned after = 0) noexcept;

// Bytes held in secure storage now, and the most held at once since the last reset; buffers
// count their whole block, spare capacity included.
struct SecureHeapUsage {
    std::size_t liveBytes;
    std::size_t peakBytes;
};
SecureHeapUsage secureHeapUsage() noexcept;
void resetSecureHeapPeak() noexcept;

} // namespace kpv::test
