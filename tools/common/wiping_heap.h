#pragma once
// The tools replace the global operator new and delete (wiping_heap_posix.cpp, linked into each
// tool): every block that C++ code gives back is wiped first. Library code that keeps text in
// plain std::string or std::vector (the JSON lexer's copy of each token, the text of an
// exception) may then hold key material without leaving it in the freed heap.
#include <cstddef>

namespace kpv::tools {

// Blocks wiped and freed through operator delete so far, for tests that the replacement is in
// effect.
std::size_t wipedHeapBlocks() noexcept;

} // namespace kpv::tools
