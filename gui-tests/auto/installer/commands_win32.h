#pragma once
// The installer commands of kpv-auto. Each takes its parsed command line and returns the exit
// code (console_win32.h); what it finds is printed one fact a line, "name value".
#include "core/native_handle.h"
#include "gui-tests/auto/installer/console_win32.h"

namespace kpv::installcheck {

// The client (client_commands_win32.cpp).
int commandMainWindow(Options& options);
int commandExitClient(Options& options);
int commandHideClient(Options& options);
int commandHoldLock(Options& options);

// The installer's wizard and message boxes (wizard_commands_win32.cpp).
int commandBox(Options& options);
int commandFinish(Options& options);
int commandClickThrough(Options& options);

// Programs (process_commands_win32.cpp).
int commandAsUser(Options& options);

// Files (file_facts_win32.cpp).
int commandVersion(Options& options);
int commandManifest(Options& options);
int commandShortcut(Options& options);

} // namespace kpv::installcheck
