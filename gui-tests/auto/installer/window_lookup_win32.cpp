#include "gui-tests/auto/installer/window_lookup_win32.h"

#include <vector>

namespace kpv::installcheck {

namespace {

constexpr UINT TEXT_TIMEOUT_MS = 3000;
constexpr wchar_t DIALOG_CLASS[] = L"#32770";

// Every top-level dialog, shown or hidden, in z-order.
std::vector<HWND> dialogs() {
    automation::WindowQuery query;
    query.className = DIALOG_CLASS;
    query.visibleOnly = false;
    return automation::findWindows(query);
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
