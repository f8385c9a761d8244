#include "app/win32/window_placement_win32.h"

#include <doctest/doctest.h>

using namespace kpv;

namespace {

RECT rect(LONG left, LONG top, LONG right, LONG bottom) {
    return RECT{left, top, right, bottom};
}

} // namespace

TEST_CASE("centring on the screen uses the desktop's right and bottom edges") {
    // 1280 x 1024 desktop, 608 x 367 window wherever it was: (1280 - 608) / 2, (1024 - 367) / 2.
    POINT at = centredOnScreen(rect(0, 0, 1280, 1024), rect(10, 20, 618, 387));
    CHECK(at.x == 336);
    CHECK(at.y == 328); // 657 / 2 truncated
    // A window larger than the desktop goes to a negative corner, halved toward zero.
    at = centredOnScreen(rect(0, 0, 800, 600), rect(0, 0, 901, 703));
    CHECK(at.x == -50);
    CHECK(at.y == -51);
}

TEST_CASE("centring over the main window keeps the dialog's size and the owner's offset") {
    RECT owner = rect(336, 338, 944, 705); // 608 x 367
    POINT at = centredOver(owner, rect(0, 0, 279, 138));
    CHECK(at.x == 336 + (608 - 279) / 2);
    CHECK(at.y == 338 + (367 - 138) / 2);
    // An owner partly off screen and a dialog wider than it.
    at = centredOver(rect(-100, -50, 100, 50), rect(0, 0, 301, 101));
    CHECK(at.x == -100 + (200 - 301) / 2); // -100 - 50
    CHECK(at.y == -50 + (100 - 101) / 2);  // -50 + 0: -1 / 2 is 0
}
