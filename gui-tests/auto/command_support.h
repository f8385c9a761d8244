#pragma once
// Helpers shared by the command files: messages, printing and the windows every command needs.
#include "gui-tests/auto/client_windows.h"
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
