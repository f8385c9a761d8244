#pragma once
// Finding the client's and the installer's windows from another process. Captions of
// top-level windows come from the system's copy; control texts are asked for with WM_GETTEXT,
// which the system carries across processes.
#include "app/win32/resource_ids.h"
#include "gui-tests/auto/window_finder.h"

#include <windows.h>

#include <string>
#include <string_view>

namespace kpv::installcheck {

// Ids of the windows looked for.
constexpr int MESSAGE_TEXT_ID = 0xFFFF; // a message box's text
constexpr int WIZARD_BACK_ID = 3;       // the installer's "< Tillbaka" button, on every page
constexpr int FINISH_RUN_BOX_ID = 1203; // the finish page's "start now" check box

std::wstring windowTitle(HWND window);
using automation::findDescendant;
using automation::windowClass;
// A control's text, also of another process's control; empty when it does not answer in time.
std::wstring controlText(HWND control);

// The client's main window (a dialog captioned "Kopiavakt" holding the list view), hidden or
// not; null when none exists.
HWND findClientMainWindow();
// A message box (a dialog with the message text control) captioned exactly caption; null when
// none exists. "Kopiavakt" finds the client's boxes, never its main window.
HWND findMessageBox(std::wstring_view caption);
// An installer or uninstaller wizard: a dialog whose caption begins with captionStart and which
// has the Back button; null when none exists.
HWND findWizard(std::wstring_view captionStart);

} // namespace kpv::installcheck
