#pragma once
// The commands of kpv-install-check. Each takes the words after its name and returns the exit
// code (console_win32.h); what it finds is printed one fact a line, "name value".
#include "app/win32/unique_handle_win32.h"
#include "installer/check/console_win32.h"

namespace kpv::installcheck {

// The client (client_commands_win32.cpp).
int commandMainWindow(const Options& options);
int commandExitClient(const Options& options);
int commandHideClient(const Options& options);
int commandHoldLock(const Options& options);

// The installer's wizard and message boxes (wizard_commands_win32.cpp).
int commandBox(const Options& options);
int commandFinish(const Options& options);
int commandClickThrough(const Options& options);

// Programs (process_commands_win32.cpp).
int commandAsUser(const Options& options);

// Files (file_facts_win32.cpp).
int commandVersion(const Options& options);
int commandManifest(const Options& options);
int commandShortcut(const Options& options);

} // namespace kpv::installcheck
