#pragma once
// Where dialogs go: the main window in the middle of the desktop, every other dialog in the
// middle of the main window. Sizes are kept; the window goes to the top of the z-order.
#include <windows.h>

namespace kpv {

// Top-left corners in screen pixels; halves are truncated toward zero.
POINT centredOnScreen(const RECT& desktop, const RECT& window) noexcept;
POINT centredOver(const RECT& owner, const RECT& window) noexcept;

void centreOnScreen(HWND window) noexcept;
// Uses the main window's last rectangle, also while it is hidden. Nothing happens without a
// main window.
void centreOnMainWindow(HWND dialog, HWND mainWindow) noexcept;

} // namespace kpv
