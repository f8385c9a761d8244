#pragma once
// How the client's windows are recognised: by class, caption and the control ids they hold,
// never by position. Captions that hold å, ä or ö are not needed to find a window, so the
// queries work whatever the ANSI code page of the running system.
#include "app/win32/resource_ids.h"
#include "gui-tests/auto/window_finder.h"

namespace kpv::automation {

constexpr int FILE_NAME_COMBO_ID = 0x47C; // Wine's file dialog: ComboBoxEx32 > ComboBox > Edit
constexpr int FILE_NAME_EDIT_ID = 0x480;  // the same field in the older layout

// The main window: caption "Kopiavakt", dialog class, list view 1002; shown or hidden.
WindowQuery mainWindowQuery();
// A message box of the client: caption "Kopiavakt", no list view, not the about box.
WindowQuery messageBoxQuery();
WindowQuery nameDialogQuery();
WindowQuery settingsDialogQuery();
WindowQuery excludedDialogQuery();
WindowQuery aboutDialogQuery();
WindowQuery alertsDialogQuery();
WindowQuery rulesDialogQuery();
WindowQuery historyWindowQuery();

// A visible common file dialog (either layout), polling until the deadline.
HWND waitForFileDialog(const Deadline& deadline);

} // namespace kpv::automation
