#include "gui-tests/auto/installer/windows_win32.h"

#include <vector>

namespace kpv::installcheck {

namespace {

constexpr UINT TEXT_TIMEOUT_MS = 3000;
constexpr std::wstring_view DIALOG_CLASS = L"#32770";

BOOL CALLBACK collect(HWND window, LPARAM context) {
    reinterpret_cast<std::vector<HWND>*>(context)->push_back(window);
    return TRUE;
}

std::vector<HWND> dialogs() {
    std::vector<HWND> all;
    EnumWindows(collect, reinterpret_cast<LPARAM>(&all));
    std::vector<HWND> found;
    for (HWND window : all)
        if (windowClass(window) == DIALOG_CLASS)
            found.push_back(window);
    return found;
}

} // namespace

std::wstring windowTitle(HWND window) {
    wchar_t text[512] = {};
    GetWindowTextW(window, text, 512);
    return text;
}

std::wstring controlText(HWND control) {
    wchar_t text[4096] = {};
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(control, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(text),
                             SMTO_ABORTIFHUNG, TEXT_TIMEOUT_MS, &copied))
        return {};
    return text;
}

HWND findDescendant(HWND parent, int id) {
    std::vector<HWND> all;
    EnumChildWindows(parent, collect, reinterpret_cast<LPARAM>(&all));
    for (HWND child : all)
        if (GetDlgCtrlID(child) == id)
            return child;
    return nullptr;
}

HWND findClientMainWindow() {
    for (HWND window : dialogs()) {
        HWND list = findDescendant(window, IDC_ACCOUNT_LIST);
        if (windowTitle(window) == L"Kopiavakt" && list != nullptr &&
            windowClass(list) == L"SysListView32")
            return window;
    }
    return nullptr;
}

HWND findMessageBox(std::wstring_view caption) {
    for (HWND window : dialogs())
        if (windowTitle(window) == caption && findDescendant(window, MESSAGE_TEXT_ID) != nullptr &&
            findDescendant(window, IDC_ACCOUNT_LIST) == nullptr &&
            findDescendant(window, WIZARD_BACK_ID) == nullptr)
            return window;
    return nullptr;
}

HWND findWizard(std::wstring_view captionStart) {
    for (HWND window : dialogs())
        if (windowTitle(window).starts_with(captionStart) &&
            findDescendant(window, WIZARD_BACK_ID) != nullptr)
            return window;
    return nullptr;
}

} // namespace kpv::installcheck
