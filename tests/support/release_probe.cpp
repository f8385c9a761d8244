#include "tests/support/release_probe.h"

#include "tests/support/secure_heap_watch.h"

namespace kpv::test {
namespace {
std::size_t blocks = 0;
std::size_t bytes = 0;
std::size_t dirty = 0;

void observe(const unsigned char* block, std::size_t size) {
    ++blocks;
    bytes += size;
    for (std::size_t i = 0; i < size; ++i)
        if (block[i] != 0) {
            ++dirty;
            return;
        }
}
} // namespace

ReleaseProbe::ReleaseProbe() {
    blocks = bytes = dirty = 0;
    watchReleases(observe);
}
ReleaseProbe::~ReleaseProbe() {
    watchReleases(nullptr);
}
std::size_t ReleaseProbe::blocksReleased() const {
    return blocks;
}
std::size_t ReleaseProbe::bytesReleased() const {
    return bytes;
}
std::size_t ReleaseProbe::dirtyBlocks() const {
    return dirty;
}

} // namespace kpv::test
