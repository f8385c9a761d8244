#include "app/win32/window_placement_win32.h"

namespace kpv {

POINT centredOnScreen(const RECT& desktop, const RECT& window) noexcept {
    return POINT{(desktop.right - (window.right - window.left)) / 2,
                 (desktop.bottom - (window.bottom - window.top)) / 2};
}

POINT centredOver(const RECT& owner, const RECT& window) noexcept {
    return POINT{owner.left + ((owner.right - owner.left) - (window.right - window.left)) / 2,
                 owner.top + ((owner.bottom - owner.top) - (window.bottom - window.top)) / 2};
}

namespace {

void moveTo(HWND window, POINT corner) noexcept {
    SetWindowPos(window, HWND_TOP, corner.x, corner.y, 0, 0, SWP_NOSIZE);
}

} // namespace

void centreOnScreen(HWND window) noexcept {
    RECT desktop{};
    RECT own{};
    if (GetWindowRect(GetDesktopWindow(), &desktop) && GetWindowRect(window, &own))
        moveTo(window, centredOnScreen(desktop, own));
}

void centreOnMainWindow(HWND dialog, HWND mainWindow) noexcept {
    RECT owner{};
    RECT own{};
    if (mainWindow != nullptr && GetWindowRect(mainWindow, &owner) && GetWindowRect(dialog, &own))
        moveTo(dialog, centredOver(owner, own));
}

} // namespace kpv
