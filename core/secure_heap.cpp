#include "core/secure_heap.h"

#include <cstdlib>

extern "C" {

void* kpv_secure_heap_take(std::size_t n) noexcept {
    return std::malloc(n);
}

void kpv_secure_heap_give(void* block, std::size_t n) noexcept {
    (void)n; // the C heap knows its blocks' sizes
    std::free(block);
}
}
