// kpv-install-check: looks at an installed Kopiavakt and drives its installer from another
// process, for the installer tests under Wine (or on Windows).
#include "installer/check/commands_win32.h"

#include <shellapi.h>

#include <string>
#include <vector>

namespace kpv::installcheck {

namespace {

constexpr const char* USAGE =
    R"(kpv-install-check COMMAND [options]   every wait takes --timeout MS (default 30000)
  main-window          wait until the client's main window is visible, answering the client's
                       message boxes with OK ("dismissed <text>"); print pid, dpi,
                       dpi-awareness, columns (list widths in pixels) and comctl32 (loaded from)
  exit-client          end the client as the tray's "Avsluta" does; wait for its process
  hide-client          close the main window as its close box does; wait until hidden
  hold-lock FILE --until STOP
                       hold FILE open as the client holds its lock ("holding") until the file
                       STOP exists ("released")
  box --caption C [--contains T] [--press retry|cancel|ok|yes|no|none] [--next]
                       wait for a message box captioned C whose text holds T, print it, answer
                       it; --next clicks through the wizard captioned C meanwhile
  finish --caption C --run yes|no [--next]
                       on the wizard's finish page set "start now", click Finish, wait; --next
                       clicks through the pages before it
  click-through --caption C [--tick TEXT]
                       wait for the wizard captioned C, tick its check box labelled TEXT, then
                       click Next (Install, Uninstall, Close) until the wizard closes
  as-user PROGRAM [ARGS...]
                       run PROGRAM without elevation (with the limited token linked to an
                       elevated one, as UAC does); exit code is the program's
  version FILE         the version resource: file-version, product-version, string NAME VALUE
  manifest FILE        the application manifest (resource 1) as stored
  shortcut FILE        target, arguments, workdir, icon and description of a .lnk
Exit codes: 0 done, 1 timed out, 2 bad command line, 3 failed.)";

struct Command {
    const wchar_t* name;
    int (*run)(const Options&);
};

constexpr Command COMMANDS[] = {
    {L"main-window", commandMainWindow},
    {L"exit-client", commandExitClient},
    {L"hide-client", commandHideClient},
    {L"hold-lock", commandHoldLock},
    {L"box", commandBox},
    {L"finish", commandFinish},
    {L"click-through", commandClickThrough},
    {L"as-user", commandAsUser},
    {L"version", commandVersion},
    {L"manifest", commandManifest},
    {L"shortcut", commandShortcut},
};

int run() {
    int count = 0;
    LPWSTR* raw = CommandLineToArgvW(GetCommandLineW(), &count);
    if (raw == nullptr)
        return EXIT_USAGE;
    std::vector<std::wstring> words(raw + 1, raw + count);
    LocalFree(raw);
    if (words.empty()) {
        printError(USAGE);
        return EXIT_USAGE;
    }
    const std::wstring name = words.front();
    words.erase(words.begin());
    for (const Command& command : COMMANDS)
        if (name == command.name)
            return command.run(Options(std::move(words)));
    printError(USAGE);
    return EXIT_USAGE;
}

} // namespace

} // namespace kpv::installcheck

int main() {
    return kpv::installcheck::run();
}
