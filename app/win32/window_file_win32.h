#pragma once
// The main window's handle as wnd.bin stores it: one u32. Window handles are 32-bit values
// sign-extended to the pointer width, so the low 32 bits are the whole handle.
#include <windows.h>

#include <cstdint>

namespace kpv {

inline std::uint32_t windowFileValue(HWND window) noexcept {
    return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(window));
}

inline HWND windowFromFileValue(std::uint32_t value) noexcept {
    auto widened = static_cast<std::intptr_t>(static_cast<std::int32_t>(value));
    return reinterpret_cast<HWND>(widened);
}

// Writes wnd.bin in the working folder; silently nothing when it cannot be written.
void writeWindowFile(HWND mainWindow);

// True when `window` is the main window of a running client: a dialog captioned "Kopiavakt".
// A stale handle from an earlier run may by now name some other program's window.
bool looksLikeMainWindow(HWND window) noexcept;

} // namespace kpv
