#pragma once
// A standard allocator whose every block is wiped before it is freed, and the string made
// with it: for texts that hold names or other secrets while they are put together.
#include "core/secure_memory.h"

#include <cstddef>
#include <limits>
#include <new>
#include <string>

namespace kpv {

template <typename T>
struct WipingAllocator {
    using value_type = T;

    WipingAllocator() noexcept = default;
    template <typename U>
    WipingAllocator(const WipingAllocator<U>&) noexcept {}

    T* allocate(std::size_t n) {
        if (n > std::numeric_limits<std::size_t>::max() / sizeof(T))
            throw std::bad_array_new_length();
        void* p = secureMalloc(n * sizeof(T));
        if (p == nullptr)
            throw std::bad_alloc();
        return static_cast<T*>(p);
    }
    void deallocate(T* p, std::size_t n) noexcept { secureFree(p, n * sizeof(T)); }

    template <typename U>
    bool operator==(const WipingAllocator<U>&) const noexcept {
        return true;
    }
};

using WipingString = std::basic_string<char, std::char_traits<char>, WipingAllocator<char>>;

} // namespace kpv
