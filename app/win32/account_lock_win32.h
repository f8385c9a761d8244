#pragma once
// What the main window shows of an account list locked by policy: every command that would
// change the list greyed, export left as it is.
#include <windows.h>

namespace kpv {

// Greys "Lägg till konto...", "Ta bort markerat konto" and "Importera lista..." in the menu
// bar, "Byt namn..." and "Ta bort från listan" in the list's menu, and disables the button
// "Lägg till användare...". Any of the three may be null and is then skipped.
void greyAccountChanges(HMENU menuBar, HMENU listMenu, HWND addButton) noexcept;

} // namespace kpv
