#pragma once
// The user-interface port on Win32: message boxes, file dialogs and the name dialog owned by
// the main window, and the rows of its account list view (control 1002).
//
// Fixed texts arrive as UTF-8 and are shown through the wide-character calls (and dialogs are
// wide-character windows), so they read correctly under any ANSI code page; account names,
// paths and row texts are ANSI bytes and go through the ANSI calls unchanged.
#include "app/user_interface.h"
#include "app/win32/alert_shell_win32.h"
#include "app/win32/attention_display_win32.h"

#include <windows.h>

namespace kpv {

// Posted to the main window after a bulk change of the rows; it ends the pause in painting
// that clearRows started. The main window passes it to finishRows().
inline constexpr UINT KPV_ROWS_DONE = WM_APP + 1;

class Win32UserInterface final : public UserInterface {
  public:
    explicit Win32UserInterface(HINSTANCE instance) noexcept : instance_(instance) {}

    // From now on the main window owns every box and dialog, and its list view holds the
    // rows. Until then boxes have no owner and the row operations do nothing.
    void attachMainWindow(HWND window) {
        mainWindow_ = window;
        attention_.attach(instance_, window);
        alerts_.attach(window);
    }
    HWND mainWindow() const noexcept { return mainWindow_; }
    // The marks of the rows and the state of the tray icon.
    AttentionDisplay& attention() noexcept { return attention_; }
    // The alerts: their settings, worker and balloons.
    AlertShell& alerts() noexcept { return alerts_; }
    // A delivery ended (KPV_ALERTS_CHANGED): the tooltip tells whether alerts are failing.
    void alertsChanged();
    // Paints the list again after the rows of one reply went in (see KPV_ROWS_DONE).
    void finishRows() noexcept;

    Answer showMessage(const char* utf8Text, MessageKind kind) override;

    bool chooseLogFile(SecureBuffer& path) override;
    bool chooseUserListToOpen(SecureBuffer& path) override;
    bool chooseUserListToSave(SecureBuffer& path, const char* initialUtf8Name) override;

    int showNameDialog() override;

    void clearRows() override;
    void insertRow(std::uint32_t accountId, const SecureBuffer* texts,
                   const RowStatus& status) override;
    bool selectedAccountId(std::uint32_t& accountId) override;

    void showMainWindow() override;

    void updateStarting(bool manual) override {
        attention_.updateStarting(manual);
        alerts_.updateStarting();
    }
    void exchangeFailed() override {
        attention_.exchangeFailed();
        alerts_.exchangeFailed();
    }
    void updateFinished(bool exchangeRan) override;

  private:
    HWND listView() const noexcept;

    HINSTANCE instance_;
    HWND mainWindow_ = nullptr;
    bool paintingPaused_ = false;
    AttentionDisplay attention_;
    AlertShell alerts_; // after attention_: its worker stops first at the end
};

// A message box with the caption "Kopiavakt" and no owner, for start-up before any window
// exists: OK button, no icon.
void showStartupMessage(const char* utf8Text);

} // namespace kpv
