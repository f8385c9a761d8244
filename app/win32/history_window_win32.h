#pragma once
// "Historik...": dialog 131 for one account, modal, owned by and centred over the main window:
// the chart of its total size and file count, a table of its records (newest first) and
// "Exportera CSV...".
#include <windows.h>

#include <cstdint>

namespace kpv {

// `ansiName`: the account's name as the list shows it, zero-terminated, ANSI code page.
void showHistoryWindow(HINSTANCE instance, HWND mainWindow, std::uint32_t accountId,
                       const char* ansiName);

} // namespace kpv
