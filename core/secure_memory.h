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

} // namespace kpv
