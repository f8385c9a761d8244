#pragma once
// The small modal dialogs of the main window's commands. Each is owned by and centred over
// the main window, and only its own buttons and the close box end it: Enter and Esc do not.
#include "app/client.h"

#include <windows.h>

#include <cstdint>

namespace kpv {

// "Om...": dialog 105.
void showAboutDialog(HINSTANCE instance, HWND mainWindow);

// "Visa utesluta filer": dialog 108 with the excluded-file text the last reply gave the
// account; empty when its status was not opened.
void showExcludedFilesDialog(HINSTANCE instance, HWND mainWindow, const Client& client,
                             std::uint32_t accountId);

// "Inställningar...": dialog 109; "OK" stores the chosen warning period in settings.bin.
// policyDays (1-15) is a period fixed by policy: the list then shows it, greyed, and "OK"
// stores nothing; 0 leaves the choice to the user.
void showSettingsDialog(HINSTANCE instance, HWND mainWindow, std::uint16_t policyDays);

} // namespace kpv
