// Starting a program as a user who is not elevated, for the installer tests under Wine, where
// every program starts with an administrator's full (elevated) token.
#include "core/native_handle.h"
#include "gui-tests/auto/installer/commands_win32.h"

#include <string>
#include <vector>

namespace kpv::installcheck {

namespace {

using UniqueKernelHandle = UniqueNativeHandle;

// The command line of the words: each quoted when it holds a space. Words such as /D=... and
// _?=..., which must not be quoted, hold none in the tests.
std::wstring commandLine(const std::vector<std::wstring>& words) {
    std::wstring line;
    for (const std::wstring& word : words) {
        if (!line.empty())
            line += L' ';
        line += word.find(L' ') == std::wstring::npos ? word : L'"' + word + L'"';
    }
    return line;
}

// The limited token linked to this process's elevated one, as UAC gives the signed-in
// administrator; null when this process is not elevated (its own token is then the user's).
UniqueKernelHandle limitedToken() {
    HANDLE raw = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw))
        return {};
    UniqueKernelHandle own(raw);
    TOKEN_ELEVATION_TYPE type = TokenElevationTypeDefault;
    DWORD size = 0;
    if (!GetTokenInformation(own.get(), TokenElevationType, &type, sizeof type, &size) ||
        type != TokenElevationTypeFull)
        return {};
    TOKEN_LINKED_TOKEN linked = {};
    if (!GetTokenInformation(own.get(), TokenLinkedToken, &linked, sizeof linked, &size))
        return {};
    return UniqueKernelHandle(linked.LinkedToken);
}

} // namespace

// Runs PROGRAM ARGS... with the limited token linked to this process's elevated one (or with
// this process's own token when it is not elevated), waits for it and returns its exit code.
int commandAsUser(Options& options) {
    const std::vector<std::wstring>& words = options.positional();
    if (words.empty()) {
        printError("as-user needs a program");
        return EXIT_USAGE;
    }
    std::wstring line = commandLine(words);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    UniqueKernelHandle token = limitedToken();
    const BOOL started =
        token ? CreateProcessAsUserW(token.get(), nullptr, line.data(), nullptr, nullptr, FALSE, 0,
                                     nullptr, nullptr, &startup, &process)
              : CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               &startup, &process);
    if (!started) {
        printError("cannot start the program: error " + std::to_string(GetLastError()));
        return EXIT_FAILED;
    }
    UniqueKernelHandle processHandle(process.hProcess);
    UniqueKernelHandle threadHandle(process.hThread);
    WaitForSingleObject(processHandle.get(), INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(processHandle.get(), &code);
    return static_cast<int>(code);
}

} // namespace kpv::installcheck
