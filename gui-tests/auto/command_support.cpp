#include "gui-tests/auto/command_support.h"

#include "gui-tests/auto/text.h"

#include <cstdint>
#include <cstdio>

namespace kpv::automation {

int fail(int code, std::string_view message) {
    err("kpv-auto: ");
    err(message);
    err("\n");
    return code;
}

void printLine(const std::wstring& text) {
    std::wstring plain;
    plain.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i)
        if (!(text[i] == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n'))
            plain += text[i];
    out(toUtf8(plain));
    out("\n");
}

std::string hexHandle(HWND window) {
    char buffer[32] = {};
    std::snprintf(buffer, sizeof buffer, "0x%llx",
                  static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(window)));
    return buffer;
}

HWND mainWindow(const Deadline& deadline) {
    HWND window = waitForWindow(mainWindowQuery(), deadline);
    if (window == nullptr)
        fail(EXIT_TIMED_OUT, "no main window (caption Kopiavakt with list view 1002)");
    return window;
}

HWND accountList(HWND mainWindow) {
    return findDescendant(mainWindow, IDC_ACCOUNT_LIST);
}

int waitUntilClosed(HWND dialog, const Deadline& deadline, std::string_view how) {
    while (IsWindow(dialog) && IsWindowVisible(dialog)) {
        if (deadline.passed())
            return fail(EXIT_TIMED_OUT, "the window did not close " + std::string(how));
        Sleep(50);
    }
    return EXIT_DONE;
}

int press(HWND dialog, int id, const Deadline& deadline) {
    HWND button = GetDlgItem(dialog, id);
    if (button == nullptr)
        return fail(EXIT_FAILED, "the window has no button " + std::to_string(id));
    if (!postCommand(dialog, id, button))
        return fail(EXIT_FAILED, "could not post the button press");
    return waitUntilClosed(dialog, deadline, "after the button press");
}

WindowQuery queryFromOptions(Options& options) {
    WindowQuery query;
    query.title = options.text(L"title");
    query.className = options.text(L"class");
    for (const std::wstring& id : options.all(L"child"))
        if (const auto value = parseNumber(id))
            query.requiredChildren.push_back(static_cast<int>(*value));
    for (const std::wstring& id : options.all(L"no-child"))
        if (const auto value = parseNumber(id))
            query.forbiddenChildren.push_back(static_cast<int>(*value));
    query.visibleOnly = !options.flag(L"hidden-too");
    return query;
}

} // namespace kpv::automation
