// kpv-auto: a small console tool that finds the client's and its installer's windows from
// another process and reads or drives them, for the GUI and installer tests under Wine and by
// hand on Windows.
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
    std::vector<std::string> words;
    for (int i = 1; i < count; ++i)
        words.push_back(toUtf8(argv[i]));
    LocalFree(argv);
    return runCommandLine(std::move(words));
}
