#include "gui-tests/auto/commands.h"

#include "gui-tests/auto/command_support.h"
#include "gui-tests/auto/installer/commands_win32.h"
#include "gui-tests/auto/text.h"

namespace kpv::automation {

namespace {

struct Command {
    CommandShape shape;
    int (*run)(Options&);
};

// The options of the commands that find any window.
const std::vector<std::string> QUERY = {"title", "class", "child", "no-child"};

std::vector<std::string> withQuery(std::vector<std::string> values) {
    values.insert(values.end(), QUERY.begin(), QUERY.end());
    return values;
}

const std::vector<Command>& commands() {
    using namespace installcheck;
    static const std::vector<Command> all = {
        // The main window (caption "Kopiavakt", list view 1002).
        {{"rows",
          "wait until the rows are so, then print one row a line: item data (account id), then "
          "every column, tab-separated",
          {"count", "min", "contains", "lacks"}},
         commandRows},
        {{"rowcount",
          "wait until the list holds --count rows (any, without it); print the count",
          {"count"}},
         commandRowCount},
        {{"headers", "print the column headers"}, commandHeaders},
        {{"select",
          "select the row with that item data (--id) or index (--row), or --none",
          {"id", "row"},
          {"none"}},
         commandSelect},
        {{"command",
          "post WM_COMMAND ID; --time prints elapsed_ms until the window's thread answers again",
          {},
          {"settle", "time"},
          "ID"},
         commandPostCommand},
        {{"post", "post any message: MSG [WPARAM [LPARAM]]", {}, {"settle", "time"}, "MSG"},
         commandPost},
        {{"timer", "post WM_TIMER (id 1)", {}, {"settle", "time"}}, commandTimer},
        {{"close", "post WM_CLOSE", {}, {"settle", "time"}}, commandClose},
        {{"tray",
          "post the tray callback 1084: lbuttondown|rbuttondown|lbuttonup|lbuttondblclk|N",
          {},
          {"settle", "time"},
          "EVENT"},
         commandTray},
        {{"settle", "let the window's thread finish what was posted (WM_NULL round trip)"},
         commandSettle},
        {{"visible", "print visible or hidden (exit code 0 or 4)"}, commandVisible},
        {{"greyed",
          "print the ids of the main window's greyed menu-bar items (where another process can "
          "read them) and disabled buttons"},
         commandGreyed},
        {{"wait-visible", "wait until the main window is visible", {}, {"foreground"}},
         commandWaitVisible},
        {{"wait-hidden", "wait until the main window is hidden"}, commandWaitHidden},
        {{"texts",
          "caption, every control (id, class, text), menu items, column headers of a window "
          "(default: the main window)",
          QUERY,
          {"hidden-too"}},
         commandTexts},
        // Dialogs and boxes; each waits for its window first.
        {{"msgbox",
          "the client's message box: its text, --buttons, --owner; --press ok|yes|no|cancel",
          {"expect", "press"},
          {"buttons", "owner"}},
         commandMessageBox},
        {{"name-dialog",
          "print caption and field; type --text, then --ok, --cancel or --close",
          {"text"},
          {"ok", "cancel", "close"}},
         commandNameDialog},
        {{"file-dialog",
          "Wine's or Windows' common file dialog: --path P or --cancel",
          {"path"},
          {"cancel", "print-name"}},
         commandFileDialog},
        {{"settings",
          "print caption and items (* = selected); choose --days N",
          {"days"},
          {"ok", "cancel", "close"}},
         commandSettings},
        {{"excluded", "print caption and the text of edit 1011", {}, {"ok", "cancel", "close"}},
         commandExcluded},
        {{"about", "print the about box's texts", {}, {"ok", "cancel", "close"}}, commandAbout},
        {{"alerts",
          "the alerts dialog: print each field (id, enabled|disabled, text); --set ID=TEXT "
          "(repeatable) fills a field, --test presses \"Skicka test\" and waits for its result",
          {"set"},
          {"test", "ok", "cancel", "close"}},
         commandAlerts},
        // Attention marks.
        {{"tray-tip",
          "print the tooltip of every tray icon, waiting until one equals --expect (or starts "
          "with --starts) TEXT, written with \\n between its lines",
          {"expect", "starts"}},
         commandTrayTip},
        {{"row-colour",
          "print the colour (RRGGBB) of most pixels of the row with item data --id",
          {"id"}},
         commandRowColour},
        {{"row-icons", "print the state icon (image index) of each row: account id, tab, index"},
         commandRowIcons},
        {{"rules-dialog",
          "print the rules dialog's fields; set --own-days N (0: none), --size N; --ok, --cancel",
          {"own-days", "size"},
          {"ok", "cancel"}},
         commandRulesDialog},
        {{"history",
          "print the history window's caption and rows; --export presses \"Exportera CSV...\", "
          "--close closes it",
          {},
          {"export", "close"}},
         commandHistory},
        {{"taskbar-created", "post the registered \"TaskbarCreated\" message to the main window"},
         commandTaskbarCreated},
        // System and module.
        {{"codepage", "print the ANSI and OEM code pages and the user locale"}, commandCodePage},
        {{"menus",
          "print the items of menu resources ID... of the module --exe",
          {"exe"},
          {},
          "ID"},
         commandMenus},
        // Any window.
        {{"wait-window", "wait for a window", QUERY, {"hidden-too"}}, commandWaitWindow},
        {{"wait-gone", "wait until no such window exists", QUERY, {"hidden-too"}}, commandWaitGone},
        {{"count-windows", "print the number of such windows", QUERY, {"hidden-too"}},
         commandCountWindows},
        {{"key",
          "press key --vk N in a window: in control --to ID, or else where the focus is; print "
          "the control's id and class",
          withQuery({"vk", "to"}),
          {"hidden-too"}},
         commandKey},
        // The installer and the installed client (waits default to 30000 ms).
        {{"main-window",
          "wait until the client's main window is visible, answering its message boxes with OK; "
          "print pid, dpi, dpi-awareness, columns and comctl32"},
         commandMainWindow},
        {{"exit-client", "end the client as the tray's \"Avsluta\" does; wait for its process"},
         commandExitClient},
        {{"hide-client", "close the main window as its close box does; wait until hidden"},
         commandHideClient},
        {{"hold-lock",
          "hold FILE open as the client holds its lock (\"holding\") until the file --until "
          "exists (\"released\")",
          {"until"},
          {},
          "FILE"},
         commandHoldLock},
        {{"box",
          "wait for a message box captioned --caption whose text holds --contains, print it, "
          "answer it (--press retry|cancel|ok|yes|no|none); --next clicks through the wizard",
          {"caption", "contains", "press"},
          {"next"}},
         commandBox},
        {{"finish",
          "on the wizard's finish page set \"start now\" (--run yes|no), click Finish, wait; "
          "--next clicks through the pages before it",
          {"caption", "run"},
          {"next"}},
         commandFinish},
        {{"click-through",
          "wait for the wizard --caption, tick its check box labelled --tick, then click Next "
          "until it closes",
          {"caption", "tick"}},
         commandClickThrough},
        {{"as-user",
          "run PROGRAM [ARGS...] without elevation, as UAC's linked limited token does; exit "
          "code is the program's",
          {},
          {},
          "",
          true},
         commandAsUser},
        {{"version",
          "the version resource of FILE: file-version, product-version, string NAME "
          "VALUE",
          {},
          {},
          "FILE"},
         commandVersion},
        {{"manifest", "the application manifest (resource 1) of FILE as stored", {}, {}, "FILE"},
         commandManifest},
        {{"shortcut",
          "target, arguments, workdir, icon and description of the .lnk FILE",
          {},
          {},
          "FILE"},
         commandShortcut},
    };
    return all;
}

constexpr const char* DESCRIPTION =
    "kpv-auto drives the Kopiavakt client's and its installer's windows from outside.";
constexpr const char* FOOTER =
    R"(Every command but as-user takes --timeout MS (default 10000; installer commands 30000);
COMMAND --help lists its options. Exit codes: 0 done, 1 timed out, 2 bad command line,
3 action failed or text differed, 4 main window hidden (visible). Texts are printed as UTF-8;
tab, CR and LF inside one value are written \t \r \n.)";

} // namespace

int runCommandLine(std::vector<std::string> words) {
    std::vector<CommandShape> shapes;
    for (const Command& command : commands())
        shapes.push_back(command.shape);
    ParsedCommandLine parsed = parseCommandLine(std::move(words), shapes, DESCRIPTION, FOOTER);
    if (!parsed.command) {
        if (parsed.exitCode == EXIT_DONE)
            out(parsed.message);
        else
            err(parsed.message);
        return parsed.exitCode;
    }
    return commands()[*parsed.command].run(parsed.options);
}

} // namespace kpv::automation
