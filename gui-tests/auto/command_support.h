#pragma once
// Helpers shared by the command files: messages, printing and the windows every command needs.
#include "gui-tests/auto/client_windows.h"
#include "gui-tests/auto/commands.h"
#include "gui-tests/auto/options.h"

#include <string>
#include <string_view>

namespace kpv::automation {

// Prints "kpv-auto: message" to standard error and returns code.
int fail(int code, std::string_view message);

// Prints the text as UTF-8 with a line feed (CR LF pairs become LF).
void printLine(const std::wstring& text);

std::string hexHandle(HWND window);

// The main window, waiting up to the deadline; nullptr (with a message) when it never came.
HWND mainWindow(const Deadline& deadline);

// The start of every command on the main window, once it has read its own options: a usage
// error ends it with EXIT_USAGE, a main window that does not come by the deadline with
// EXIT_TIMED_OUT; otherwise act(window) gives the exit code.
template <typename Act>
int onMainWindow(Options& options, const Deadline& deadline, Act act) {
    if (!options.ok())
        return fail(EXIT_USAGE, options.error());
    HWND window = mainWindow(deadline);
    return window == nullptr ? EXIT_TIMED_OUT : act(window);
}

// The main window's list of accounts (list view 1002).
HWND accountList(HWND mainWindow);

// Waits until the dialog has gone (or is hidden); EXIT_TIMED_OUT, with "the window did not
// close " + how, when it is still there at the deadline.
int waitUntilClosed(HWND dialog, const Deadline& deadline, std::string_view how);

// Presses button id of the dialog, as a click would, and waits until the dialog has gone.
int press(HWND dialog, int id, const Deadline& deadline);

// The query built from --title, --class and repeated --child / --no-child, plus --hidden-too.
WindowQuery queryFromOptions(Options& options);

int commandRows(Options& options);
int commandRowCount(Options& options);
int commandHeaders(Options& options);
int commandSelect(Options& options);
int commandPostCommand(Options& options);
int commandPost(Options& options);
int commandTimer(Options& options);
int commandClose(Options& options);
int commandTray(Options& options);
int commandSettle(Options& options);
int commandVisible(Options& options);
int commandGreyed(Options& options);
int commandWaitVisible(Options& options);
int commandWaitHidden(Options& options);
int commandTexts(Options& options);

int commandWaitWindow(Options& options);
int commandWaitGone(Options& options);
int commandCountWindows(Options& options);
int commandKey(Options& options);
int commandMessageBox(Options& options);
int commandNameDialog(Options& options);
int commandFileDialog(Options& options);
int commandSettings(Options& options);
int commandExcluded(Options& options);
int commandAbout(Options& options);
int commandAlerts(Options& options);

int commandTrayTip(Options& options);
int commandRowColour(Options& options);
int commandTaskbarCreated(Options& options);

int commandRowIcons(Options& options);
int commandRulesDialog(Options& options);
int commandHistory(Options& options);

int commandCodePage(Options& options);
int commandMenus(Options& options);

} // namespace kpv::automation
