// kpv-auto: a small console tool that finds the client's windows from another process and
// reads or drives them, for the GUI tests under Wine and by hand on Windows.
#include "gui-tests/auto/commands.h"
#include "gui-tests/auto/text.h"

#include <windows.h>

#include <shellapi.h>

int main() {
    using namespace kpv::automation;
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
    if (argv == nullptr)
        return EXIT_USAGE;
    std::vector<std::wstring> words;
    for (int i = 2; i < count; ++i)
        words.emplace_back(argv[i]);
    const std::wstring command = count >= 2 ? argv[1] : L"help";
    LocalFree(argv);
    if (command == L"help" || command == L"--help") {
        out(usageText());
        return count >= 2 ? EXIT_DONE : EXIT_USAGE;
    }
    return runCommand(command, words);
}
