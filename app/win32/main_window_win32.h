#pragma once
// The main window (dialog 101): the account list, the ten-minute timer that drives the update
// cycle, the tray icon and its menu, and every menu and button command. Closing it only hides
// it; "Avsluta" ends it.
#include "app/client.h"
#include "app/win32/unique_handle_win32.h"
#include "app/win32/win32_user_interface.h"

#include <cstdint>

namespace kpv {

class MainWindow {
  public:
    MainWindow(HINSTANCE instance, Client& client, Win32UserInterface& ui) noexcept
        : instance_(instance), client_(client), ui_(ui) {}
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    // Runs the window modally, with no owner, until "Avsluta". Returns the dialog's result:
    // 0 after a normal end, -1 when the window could not be created.
    INT_PTR run();

  private:
    static INT_PTR CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR handle(UINT message, WPARAM wParam, LPARAM lParam);

    void initialise(HWND window);
    void insertColumns();
    // The policy's preset user list, for a user who has no account list yet.
    void importPresetList();
    void insertAlertsMenuItem();
    // dpi: the window's new dots per inch (WM_DPICHANGED).
    void rescaleColumns(int dpi);
    void setWindowIcons();
    void onCommand(unsigned id);
    // The rules, pause and history commands of the selected account.
    void onAccountCommand(unsigned id);
    void onContextMenu(HWND source, LPARAM screenPoint) const;
    // The list view's custom draw, which marks the rows that need attention.
    INT_PTR onNotify(NMHDR& header);
    void hide() const;
    void showExcludedFiles();
    // ask: the menu bar's "Avsluta" asks first; the tray's exits at once.
    void exit(bool ask);

    // Tray icon (tray_icon_win32.cpp).
    void installTrayIcon();
    void removeTrayIcon() noexcept;
    void onTrayMessage(UINT mouseMessage);
    // A click on the alert balloon: the window, with the first row that needs attention.
    void selectFirstNeedingAttention();

    HINSTANCE instance_;
    Client& client_;
    Win32UserInterface& ui_;
    HWND window_ = nullptr;
    UINT taskbarCreated_ = 0; // 0 until registered: no message has that id
    int dpi_ = 96;            // the DPI the column widths were last set for
    UniqueMenu listMenu_;
    UniqueMenu trayMenu_;
    UniqueIcon smallIcon_; // the window's small icon; the large one is shared and not owned
};

} // namespace kpv
