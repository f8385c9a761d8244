#pragma once
// The heap under secure storage. secureMalloc and secureFree reach the heap only through these
// two calls, which live in a translation unit of their own: a block reaches
// kpv_secure_heap_give already wiped, and a test executable can wrap both symbols at link time
// (GNU ld's --wrap) to watch what secure storage takes and gives back.
#include <cstddef>

extern "C" {
// n bytes of uninitialised storage from the C heap, or null.
void* kpv_secure_heap_take(std::size_t n) noexcept;
// Gives back a wiped block of n bytes from kpv_secure_heap_take.
void kpv_secure_heap_give(void* block, std::size_t n) noexcept;
}
