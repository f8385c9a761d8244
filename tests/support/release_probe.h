#pragma once
// Watches every block that secure storage hands back to the heap while a probe is alive.
#include <cstddef>

namespace kpv::test {

class ReleaseProbe {
  public:
    ReleaseProbe();
    ~ReleaseProbe();
    ReleaseProbe(const ReleaseProbe&) = delete;
    ReleaseProbe& operator=(const ReleaseProbe&) = delete;

    std::size_t blocksReleased() const;
    std::size_t bytesReleased() const;
    // Blocks that still held a non-zero byte when they reached the heap.
    std::size_t dirtyBlocks() const;
};

} // namespace kpv::test
