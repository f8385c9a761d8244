#pragma once
// The client's icon in the notification area: the one NOTIFYICONDATAW record behind every
// Shell_NotifyIconW call, wide so that "…", "ä" and "ö" show whatever the ANSI code page.
#include <windows.h>

#include <shellapi.h>

#include <string>

namespace kpv {

class NotifyIcon {
  public:
    // Until attached to its window, nothing is shown and every call fails.
    void attach(HWND window) noexcept;
    // Puts the icon into the notification area with the tip (UTF-8) and the message its
    // clicks send. "TaskbarCreated" also arrives when the icon survived (a display change,
    // for one); then adding fails while the icon is there, and refreshing it is all that is
    // needed. False when neither works.
    bool add(HICON icon, UINT callbackMessage, const std::string& utf8Tip);
    // The icon (unchanged when null) and the tip; false when there is no icon to change.
    bool change(HICON icon, const std::string& utf8Tip);
    // A balloon (kept by Windows 10 and 11 in the notification centre); false when there is
    // no icon to show it on.
    bool showBalloon(const std::string& utf8Title, const std::string& utf8Text);
    void remove() noexcept;

  private:
    void setTip(const std::string& utf8Tip);

    // The notification area keeps its own copy of the icon: hIcon is set only for a call.
    NOTIFYICONDATAW record_{};
};

} // namespace kpv
