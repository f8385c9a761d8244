#pragma once
// A JSON document type whose every heap block (strings, arrays, objects, the parser's token
// buffer) is wiped before it is freed: the accounts file holds key material in hexadecimal.
// What the JSON library keeps outside its allocator (a few stack scratch bytes while parsing or
// printing, and the text of a parse error) is not covered.
#include "core/secure_memory.h"

#include <nlohmann/json.hpp>

#include <cstddef>
#include <cstdint>
#include <limits>
#include <map>
#include <new>
#include <string>
#include <vector>

namespace kpv::tools {

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

using WipingJson = nlohmann::basic_json<std::map, std::vector, WipingString, bool, std::int64_t,
                                        std::uint64_t, double, WipingAllocator>;

} // namespace kpv::tools
