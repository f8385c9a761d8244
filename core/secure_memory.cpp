#include "core/secure_memory.h"

#include "core/secure_heap.h"

#include <cstring>

namespace kpv {

void secureWipe(void* p, std::size_t n) noexcept {
    if (p == nullptr || n == 0)
        return;
    std::memset(p, 0, n);
    // The empty asm claims to read the memory behind p, so the memset above is never a dead
    // store in the compiler's eyes, whatever is done with the block afterwards.
    __asm__ __volatile__("" : : "r"(p) : "memory");
}

void* secureMalloc(std::size_t n) noexcept {
    return n == 0 ? nullptr : kpv_secure_heap_take(n);
}

void secureFree(void* p, std::size_t n) noexcept {
    if (p == nullptr)
        return;
    secureWipe(p, n);
    kpv_secure_heap_give(p, n);
}

} // namespace kpv
