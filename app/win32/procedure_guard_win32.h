#pragma once
// The barrier at every window and dialog procedure: the system's frames must never be
// unwound by a C++ exception.
#include <windows.h>

#include <exception>

namespace kpv {

// Runs `body` and returns its result. An exception escaping it (the buffer layer throws the
// integer 0 when the heap is exhausted, and nothing is meant to catch that) ends the process
// here, as an uncaught exception would, instead of crossing into user32.
template <typename Body>
INT_PTR guardProcedure(Body&& body) noexcept {
    try {
        return body();
    } catch (...) {
        std::terminate();
    }
}

} // namespace kpv
