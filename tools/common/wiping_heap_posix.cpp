#include "tools/common/wiping_heap.h"

#include "core/secure_memory.h"

#include <atomic>
#include <cstdlib>
#include <malloc.h>
#include <new>

namespace kpv::tools {
namespace {

std::atomic<std::size_t> wipedBlocks{0};

void* allocate(std::size_t n, std::size_t alignment) {
    const std::size_t size = n == 0 ? 1 : n;
    for (;;) {
        void* block = nullptr;
        if (alignment <= alignof(std::max_align_t))
            block = std::malloc(size);
        else if (::posix_memalign(&block, alignment, size) != 0)
            block = nullptr;
        if (block != nullptr)
            return block;
        const std::new_handler handler = std::get_new_handler();
        if (handler == nullptr)
            throw std::bad_alloc();
        handler();
    }
}

void* allocateOrNull(std::size_t n, std::size_t alignment) noexcept {
    try {
        return allocate(n, alignment);
    } catch (...) {
        return nullptr;
    }
}

// The whole block as the heap sees it, not only what was asked for.
void release(void* block) noexcept {
    if (block == nullptr)
        return;
    secureWipe(block, ::malloc_usable_size(block));
    wipedBlocks.fetch_add(1, std::memory_order_relaxed);
    std::free(block);
}

constexpr std::size_t PLAIN = alignof(std::max_align_t);

} // namespace

std::size_t wipedHeapBlocks() noexcept {
    return wipedBlocks.load(std::memory_order_relaxed);
}

} // namespace kpv::tools

using kpv::tools::allocate;
using kpv::tools::allocateOrNull;
using kpv::tools::PLAIN;
using kpv::tools::release;

void* operator new(std::size_t n) {
    return allocate(n, PLAIN);
}
void* operator new[](std::size_t n) {
    return allocate(n, PLAIN);
}
void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
    return allocateOrNull(n, PLAIN);
}
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept {
    return allocateOrNull(n, PLAIN);
}
void* operator new(std::size_t n, std::align_val_t a) {
    return allocate(n, static_cast<std::size_t>(a));
}
void* operator new[](std::size_t n, std::align_val_t a) {
    return allocate(n, static_cast<std::size_t>(a));
}
void* operator new(std::size_t n, std::align_val_t a, const std::nothrow_t&) noexcept {
    return allocateOrNull(n, static_cast<std::size_t>(a));
}
void* operator new[](std::size_t n, std::align_val_t a, const std::nothrow_t&) noexcept {
    return allocateOrNull(n, static_cast<std::size_t>(a));
}

void operator delete(void* p) noexcept {
    release(p);
}
void operator delete[](void* p) noexcept {
    release(p);
}
void operator delete(void* p, std::size_t) noexcept {
    release(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    release(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
    release(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
    release(p);
}
void operator delete(void* p, std::align_val_t) noexcept {
    release(p);
}
void operator delete[](void* p, std::align_val_t) noexcept {
    release(p);
}
void operator delete(void* p, std::size_t, std::align_val_t) noexcept {
    release(p);
}
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept {
    release(p);
}
void operator delete(void* p, std::align_val_t, const std::nothrow_t&) noexcept {
    release(p);
}
void operator delete[](void* p, std::align_val_t, const std::nothrow_t&) noexcept {
    release(p);
}
