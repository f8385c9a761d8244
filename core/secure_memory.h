#pragma once
// Heap blocks for secrets and the one wipe that the optimiser may not remove.
#include <cstddef>

namespace kpv {

// Sets n bytes at p to zero. The write survives optimisation even when the bytes are dead
// afterwards (the usual case: they are about to be freed).
void secureWipe(void* p, std::size_t n) noexcept;

// n bytes of uninitialised storage, or null when the heap refuses. n = 0 gives null.
void* secureMalloc(std::size_t n) noexcept;

// Wipes all n bytes of a block from secureMalloc, then gives it back. Null is ignored.
void secureFree(void* p, std::size_t n) noexcept;

// Test seam: sees every block after its wipe and before it returns to the heap.
using ReleaseObserver = void (*)(const unsigned char* block, std::size_t size);
void setReleaseObserver(ReleaseObserver observer) noexcept;

// Bytes held in secure storage now, and the most held at once since the last reset. For
// measuring memory in benchmarks; buffers count their whole block, spare capacity included.
struct SecureHeapUsage {
    std::size_t liveBytes;
    std::size_t peakBytes;
};
SecureHeapUsage secureHeapUsage() noexcept;
void resetSecureHeapPeak() noexcept;

// Test seam: after `after` more calls that succeed, the next `count` calls of secureMalloc
// fail as if the heap were exhausted.
void failNextAllocations(unsigned count, unsigned after = 0) noexcept;

} // namespace kpv
