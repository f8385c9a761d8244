#include "gui-tests/auto/window_finder.h"

#include <algorithm>

namespace kpv::automation {

Deadline::Deadline(DWORD milliseconds) : end_(GetTickCount64() + milliseconds) {}

bool Deadline::passed() const {
    return GetTickCount64() >= end_;
}

DWORD Deadline::remaining() const {
    const ULONGLONG now = GetTickCount64();
    return now >= end_ ? 0 : static_cast<DWORD>(end_ - now);
}

namespace {

constexpr DWORD POLL_MS = 50;
constexpr DWORD TEXT_TIMEOUT_MS = 3000;

BOOL CALLBACK collectWindow(HWND window, LPARAM context) {
    reinterpret_cast<std::vector<HWND>*>(context)->push_back(window);
    return TRUE;
}

bool matches(HWND window, const WindowQuery& query) {
    if (query.visibleOnly && !IsWindowVisible(window))
        return false;
    if (query.className && windowClass(window) != *query.className)
        return false;
    if (query.title) {
        // The system's copy of the caption: a top-level window's owner may be busy.
        wchar_t caption[512] = {};
        GetWindowTextW(window, caption, 512);
        if (*query.title != caption)
            return false;
    }
    for (int id : query.requiredChildren)
        if (findDescendant(window, id) == nullptr)
            return false;
    for (int id : query.forbiddenChildren)
        if (findDescendant(window, id) != nullptr)
            return false;
    return true;
}

} // namespace

std::vector<HWND> findWindows(const WindowQuery& query) {
    std::vector<HWND> all;
    EnumWindows(collectWindow, reinterpret_cast<LPARAM>(&all));
    std::vector<HWND> found;
    std::copy_if(all.begin(), all.end(), std::back_inserter(found),
                 [&](HWND window) { return matches(window, query); });
    return found;
}

HWND waitForWindow(const WindowQuery& query, const Deadline& deadline) {
    for (;;) {
        const std::vector<HWND> found = findWindows(query);
        if (!found.empty())
            return found.front();
        if (deadline.passed())
            return nullptr;
        Sleep(POLL_MS);
    }
}

bool waitForNoWindow(const WindowQuery& query, const Deadline& deadline) {
    for (;;) {
        if (findWindows(query).empty())
            return true;
        if (deadline.passed())
            return false;
        Sleep(POLL_MS);
    }
}

std::vector<HWND> descendants(HWND parent) {
    std::vector<HWND> all;
    EnumChildWindows(parent, collectWindow, reinterpret_cast<LPARAM>(&all));
    return all;
}

HWND findDescendant(HWND parent, int id) {
    if (HWND direct = GetDlgItem(parent, id))
        return direct;
    for (HWND child : descendants(parent))
        if (GetDlgCtrlID(child) == id)
            return child;
    return nullptr;
}

std::wstring windowText(HWND window) {
    DWORD_PTR length = 0;
    if (SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, TEXT_TIMEOUT_MS,
                            &length)) {
        std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
        DWORD_PTR copied = 0;
        if (SendMessageTimeoutW(window, WM_GETTEXT, text.size(),
                                reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG,
                                TEXT_TIMEOUT_MS, &copied)) {
            text.resize(std::min<std::size_t>(static_cast<std::size_t>(copied), text.size()));
            return text;
        }
    }
    wchar_t caption[1024] = {};
    GetWindowTextW(window, caption, 1024);
    return caption;
}

std::wstring windowClass(HWND window) {
    wchar_t name[256] = {};
    GetClassNameW(window, name, 256);
    return name;
}

bool setWindowText(HWND window, const std::wstring& text, DWORD timeoutMs) {
    DWORD_PTR result = 0;
    return SendMessageTimeoutW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()),
                               SMTO_ABORTIFHUNG, timeoutMs, &result) != 0 &&
           result != 0;
}

bool postCommand(HWND window, int id, HWND control) {
    const WPARAM wParam = (static_cast<WPARAM>(BN_CLICKED) << 16) | static_cast<WORD>(id);
    return PostMessageW(window, WM_COMMAND, wParam, reinterpret_cast<LPARAM>(control)) != 0;
}

bool settle(HWND window, DWORD timeoutMs) {
    // A sent message overtakes posted ones still in the queue; the pause lets an idle thread
    // take what was posted first, so the answer comes after that work (or from inside the
    // modal loop it opened).
    Sleep(200);
    DWORD_PTR result = 0;
    return SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, timeoutMs, &result) != 0;
}

std::optional<LRESULT> sendWithin(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                  DWORD timeoutMs) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, timeoutMs, &result))
        return std::nullopt;
    return static_cast<LRESULT>(result);
}

} // namespace kpv::automation
