#pragma once
// "Regler för kontot...": dialog 130 for one account, modal, owned by and centred over the
// main window.
#include <windows.h>

#include <cstdint>

namespace kpv {

// Shows the account's rules; "OK" stores them in rules.bin (after a message when a number is
// out of range, and the dialog stays open). True when they were stored.
bool showRulesDialog(HINSTANCE instance, HWND mainWindow, std::uint32_t accountId);

} // namespace kpv
