#include "app/win32/notify_icon_win32.h"

#include "app/win32/text_win32.h"

#include <cwchar>

namespace kpv {

namespace {

template <std::size_t N>
void copyWide(wchar_t (&field)[N], const std::string& utf8) {
    const std::wstring wide = widenUtf8(utf8.c_str());
    std::wcsncpy(field, wide.c_str(), N - 1);
    field[N - 1] = L'\0';
}

} // namespace

void NotifyIcon::attach(HWND window) noexcept {
    record_ = NOTIFYICONDATAW{};
    record_.cbSize = sizeof record_;
    record_.hWnd = window;
    record_.uID = 0;
}

void NotifyIcon::setTip(const std::string& utf8Tip) {
    copyWide(record_.szTip, utf8Tip);
}

bool NotifyIcon::add(HICON icon, UINT callbackMessage, const std::string& utf8Tip) {
    if (record_.hWnd == nullptr)
        return false;
    record_.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    record_.uCallbackMessage = callbackMessage;
    record_.hIcon = icon;
    setTip(utf8Tip);
    const bool shown = Shell_NotifyIconW(NIM_ADD, &record_) != FALSE ||
                       Shell_NotifyIconW(NIM_MODIFY, &record_) != FALSE;
    record_.hIcon = nullptr;
    return shown;
}

bool NotifyIcon::change(HICON icon, const std::string& utf8Tip) {
    if (record_.hWnd == nullptr)
        return false;
    record_.uFlags = NIF_TIP | (icon != nullptr ? NIF_ICON : 0);
    record_.hIcon = icon;
    setTip(utf8Tip);
    const bool changed = Shell_NotifyIconW(NIM_MODIFY, &record_) != FALSE;
    record_.hIcon = nullptr;
    return changed;
}

bool NotifyIcon::showBalloon(const std::string& utf8Title, const std::string& utf8Text) {
    if (record_.hWnd == nullptr)
        return false;
    record_.uFlags = NIF_INFO;
    record_.dwInfoFlags = NIIF_WARNING | NIIF_RESPECT_QUIET_TIME;
    copyWide(record_.szInfoTitle, utf8Title);
    copyWide(record_.szInfo, utf8Text);
    const bool shown = Shell_NotifyIconW(NIM_MODIFY, &record_) != FALSE;
    // Shown once: a later add after "TaskbarCreated" must not bring it back.
    record_.szInfoTitle[0] = L'\0';
    record_.szInfo[0] = L'\0';
    record_.dwInfoFlags = 0;
    return shown;
}

void NotifyIcon::remove() noexcept {
    if (record_.hWnd == nullptr)
        return;
    record_.uFlags = 0;
    Shell_NotifyIconW(NIM_DELETE, &record_);
}

} // namespace kpv
