// Commands about the running client: its main window as the user sees it, and ending it.
#include "core/native_handle.h"
#include "gui-tests/auto/installer/commands_win32.h"
#include "gui-tests/auto/installer/window_lookup_win32.h"

#include <commctrl.h>
#include <psapi.h>

#include <algorithm>
#include <cwctype>
#include <string>

namespace kpv::installcheck {

namespace {

using UniqueProcess = UniqueNativeHandle;

constexpr int COLUMN_COUNT = 8;

std::wstring lowered(std::wstring text) {
    for (wchar_t& c : text)
        c = static_cast<wchar_t>(std::towlower(c));
    return text;
}

std::string awarenessName(HWND window) {
    DPI_AWARENESS_CONTEXT context = GetWindowDpiAwarenessContext(window);
    if (AreDpiAwarenessContextsEqual(context, DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2))
        return "per-monitor-v2";
    switch (GetAwarenessFromDpiAwarenessContext(context)) {
    case DPI_AWARENESS_UNAWARE:
        return "unaware";
    case DPI_AWARENESS_SYSTEM_AWARE:
        return "system";
    case DPI_AWARENESS_PER_MONITOR_AWARE:
        return "per-monitor";
    default:
        return "invalid";
    }
}

// Where the process loaded the common controls from: the side-by-side version 6 when its
// manifest asks for it, the system folder's version 5 otherwise.
std::wstring commonControlsPath(DWORD processId) {
    UniqueProcess process(
        OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId));
    if (!process)
        return {};
    HMODULE modules[512] = {};
    DWORD needed = 0;
    if (!EnumProcessModulesEx(process.get(), modules, sizeof modules, &needed, LIST_MODULES_ALL))
        return {};
    const DWORD count = std::min<DWORD>(needed / sizeof(HMODULE), 512);
    for (DWORD i = 0; i < count; ++i) {
        wchar_t path[MAX_PATH] = {};
        if (GetModuleFileNameExW(process.get(), modules[i], path, MAX_PATH) == 0)
            continue;
        if (lowered(path).ends_with(L"\\comctl32.dll"))
            return path;
    }
    return {};
}

void reportMainWindow(HWND window) {
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    printLine("pid " + std::to_string(processId));
    printLine("dpi " + std::to_string(GetDpiForWindow(window)));
    printLine("dpi-awareness " + awarenessName(window));
    HWND list = findDescendant(window, IDC_ACCOUNT_LIST);
    std::string widths;
    for (int i = 0; i < COLUMN_COUNT; ++i) {
        DWORD_PTR width = 0;
        SendMessageTimeoutW(list, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(i), 0, SMTO_ABORTIFHUNG,
                            3000, &width);
        widths += (i == 0 ? "" : " ") + std::to_string(width);
    }
    printLine("columns " + widths);
    printLine("comctl32 " + toUtf8(commonControlsPath(processId)));
}

} // namespace

// Waits until the client's main window is visible. The client's own message boxes shown
// meanwhile (the first update's "no contact with the server", for one) are answered with OK
// and printed as "dismissed <text>".
int commandMainWindow(Options& options) {
    Deadline deadline(options.timeoutMs(DEFAULT_TIMEOUT_MS));
    for (;;) {
        HWND window = findClientMainWindow();
        if (window != nullptr && IsWindowVisible(window)) {
            printLine("main-window visible");
            reportMainWindow(window);
            return EXIT_OK;
        }
        if (HWND box = findMessageBox(L"Kopiavakt")) {
            printLine("dismissed " + toUtf8(controlText(findDescendant(box, MESSAGE_TEXT_ID))));
            PostMessageW(box, WM_COMMAND, IDOK, 0);
            while (IsWindow(box) && !deadline.passed())
                Sleep(POLL_MS);
        }
        if (deadline.passed()) {
            printError(window != nullptr ? "the main window stays hidden"
                                         : "no main window appeared");
            return EXIT_TIMEOUT;
        }
        Sleep(POLL_MS);
    }
}

// Ends the client as its tray menu's "Avsluta" does and waits for the process to end.
int commandExitClient(Options& options) {
    Deadline deadline(options.timeoutMs(DEFAULT_TIMEOUT_MS));
    HWND window = nullptr;
    while ((window = findClientMainWindow()) == nullptr) {
        if (deadline.passed()) {
            printError("no client main window");
            return EXIT_TIMEOUT;
        }
        Sleep(POLL_MS);
    }
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    UniqueProcess process(
        OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
    if (!process || !PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDM_EXIT_NOW, 0), 0)) {
        printError("cannot reach the client process");
        return EXIT_FAILED;
    }
    while (WaitForSingleObject(process.get(), POLL_MS) == WAIT_TIMEOUT) {
        if (deadline.passed()) {
            printError("the client still runs");
            return EXIT_TIMEOUT;
        }
    }
    DWORD code = 0;
    GetExitCodeProcess(process.get(), &code);
    printLine("client-ended " + std::to_string(code));
    return EXIT_OK;
}

// Closes the main window as its close box does (the client then hides in the tray) and waits
// until it is hidden.
int commandHideClient(Options& options) {
    Deadline deadline(options.timeoutMs(DEFAULT_TIMEOUT_MS));
    HWND window = nullptr;
    while ((window = findClientMainWindow()) == nullptr || !IsWindowVisible(window)) {
        if (deadline.passed()) {
            printError("no visible client main window");
            return EXIT_TIMEOUT;
        }
        Sleep(POLL_MS);
    }
    PostMessageW(window, WM_CLOSE, 0, 0);
    while (IsWindowVisible(window)) {
        if (deadline.passed()) {
            printError("the main window stays visible");
            return EXIT_TIMEOUT;
        }
        Sleep(POLL_MS);
    }
    printLine("main-window hidden");
    return EXIT_OK;
}

// Opens FILE as the client opens its lock (write access, no sharing), prints "holding" and keeps
// it open until the file --until names exists (or --timeout passes): a client that is starting
// and has no window yet.
int commandHoldLock(Options& options) {
    std::optional<std::wstring> path = firstWord(options);
    std::optional<std::wstring> stop = options.text(L"until");
    if (!path || !stop) {
        printError("hold-lock needs a file and --until FILE");
        return EXIT_USAGE;
    }
    UniqueNativeHandle lock(CreateFileW(path->c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!lock) {
        printError("cannot open the lock file exclusively");
        return EXIT_FAILED;
    }
    printLine("holding");
    Deadline deadline(options.timeoutMs(DEFAULT_TIMEOUT_MS));
    while (GetFileAttributesW(stop->c_str()) == INVALID_FILE_ATTRIBUTES) {
        if (deadline.passed()) {
            printError("released: nothing asked to stop in time");
            return EXIT_TIMEOUT;
        }
        Sleep(POLL_MS);
    }
    printLine("released");
    return EXIT_OK;
}

} // namespace kpv::installcheck
