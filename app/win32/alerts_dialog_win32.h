#pragma once
// "Aviseringar...": dialog 110. The user's own alert values (alerts.bin), with every value the
// policy sets shown and greyed, a line for each value that cannot be used, the outcome of the
// last delivery, and "Skicka test". "OK" saves alerts.bin (the password protected for the
// user) and the alerts go on with the new values at once.
#include "app/win32/alert_shell_win32.h"

#include <windows.h>

namespace kpv {

void showAlertsDialog(HINSTANCE instance, HWND mainWindow, AlertShell& alerts);

} // namespace kpv
