#include "gui-tests/auto/commands.h"

#include "gui-tests/auto/command_support.h"

namespace kpv::automation {

namespace {

struct Command {
    const wchar_t* name;
    int (*run)(Options&);
};

constexpr Command COMMANDS[] = {
    {L"rows", commandRows},
    {L"rowcount", commandRowCount},
    {L"headers", commandHeaders},
    {L"select", commandSelect},
    {L"command", commandPostCommand},
    {L"post", commandPost},
    {L"timer", commandTimer},
    {L"close", commandClose},
    {L"tray", commandTray},
    {L"settle", commandSettle},
    {L"visible", commandVisible},
    {L"wait-visible", commandWaitVisible},
    {L"wait-hidden", commandWaitHidden},
    {L"texts", commandTexts},
    {L"wait-window", commandWaitWindow},
    {L"wait-gone", commandWaitGone},
    {L"count-windows", commandCountWindows},
    {L"key", commandKey},
    {L"msgbox", commandMessageBox},
    {L"name-dialog", commandNameDialog},
    {L"file-dialog", commandFileDialog},
    {L"settings", commandSettings},
    {L"excluded", commandExcluded},
    {L"about", commandAbout},
    {L"tray-tip", commandTrayTip},
    {L"row-colour", commandRowColour},
    {L"taskbar-created", commandTaskbarCreated},
    {L"codepage", commandCodePage},
    {L"menus", commandMenus},
};

const std::vector<std::wstring> FLAGS = {L"ok",         L"cancel",     L"close",   L"none",
                                         L"settle",     L"hidden-too", L"buttons", L"owner",
                                         L"foreground", L"print-name", L"time"};

} // namespace

int runCommand(const std::wstring& name, const std::vector<std::wstring>& words) {
    for (const Command& command : COMMANDS) {
        if (name != command.name)
            continue;
        Options options(words, FLAGS);
        if (!options.ok())
            return fail(EXIT_USAGE, options.error());
        return command.run(options);
    }
    return fail(EXIT_USAGE, "unknown command; try kpv-auto help");
}

const char* usageText() {
    return R"(kpv-auto COMMAND [options]   drives the Kopiavakt client's windows from outside.
Every command takes --timeout MS (default 10000). Exit codes: 0 done, 1 timed out,
2 bad command line, 3 action failed or text differed, 4 main window hidden (visible).
Texts are printed as UTF-8; tab, CR and LF inside one value are written \t \r \n.

Main window (caption "Kopiavakt", list view 1002):
  rows [--count N] [--min N] [--contains T] [--lacks T]
                      wait until the rows are so, then print one row a line:
                      item data (account id), then every column, tab-separated
  rowcount [--count N]  wait until the list holds N rows (any, without N); print the count
  headers             print the column headers
  select --id N | --row N | --none     select the row with that item data or index
  command ID [--settle | --time]       post WM_COMMAND ID; --time prints elapsed_ms until
                                       the window's thread answers again
  post MSG [WPARAM [LPARAM]] [--settle] post any message
  timer | close [--settle]             post WM_TIMER (id 1) | WM_CLOSE
  tray lbuttondown|rbuttondown|lbuttonup|lbuttondblclk|N   post the tray callback 1084
  settle              let the window's thread finish what was posted (WM_NULL round trip)
  visible             print visible or hidden (exit 0 or 4)
  wait-visible [--foreground] | wait-hidden
  texts [--title T] [--class C] [--child ID]   caption, every control (id, class, text),
                      menu items, column headers of a window (default: the main window)
Dialogs and boxes (each waits for its window first):
  msgbox [--expect TEXT] [--buttons] [--owner] [--press ok|yes|no|cancel]
  name-dialog [--text T] [--ok|--cancel|--close]   prints caption and field
  file-dialog --path P | --cancel [--print-name]   Wine's or Windows' common file dialog
  settings [--days N] [--ok|--cancel|--close]      prints caption and items, * = selected
  excluded [--close]                               prints caption and the text of edit 1011
  about [--close]
Attention marks:
  tray-tip [--expect TEXT | --starts TEXT]   print the tooltip of every tray icon (Wine's
                      notification area), waiting until one equals (or starts with) TEXT,
                      written with \n between its lines
  row-colour --id N   print the colour (RRGGBB) of most pixels of the row with item data N
  taskbar-created     post the registered "TaskbarCreated" message to the main window
System and module:
  codepage            print the ANSI and OEM code pages and the user locale
  menus --exe PATH ID...   print the items of menu resources of a module (menus of another
                      process cannot be read from outside under Wine)
Any window:
  wait-window | wait-gone | count-windows [--title T] [--class C] [--child ID]...
                      [--no-child ID]... [--hidden-too]
  key --vk N [--to ID] [same window options]   press a key in that window: in control ID,
                      or else where the focus is; prints the control's id and class
)";
}

} // namespace kpv::automation
