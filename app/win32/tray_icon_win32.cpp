// The main window's icon in the notification area and its menu.
#include "app/win32/main_window_win32.h"
#include "app/win32/resource_ids.h"

#include <commctrl.h>
#include <shellapi.h>

namespace kpv {

void MainWindow::installTrayIcon() {
    // The notification area keeps its own copy of the icon, so this one is ours to destroy.
    UniqueIcon icon(static_cast<HICON>(LoadImageA(instance_, MAKEINTRESOURCEA(IDI_KOPIAVAKT),
                                                  IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                                  GetSystemMetrics(SM_CYSMICON), 0)));
    if (!ui_.attention().trayIcon().add(icon.get(), KPV_TRAY_CALLBACK, trayTooltip({})))
        ui_.showMessage("Kunde inte visa en NofifyIcon", MessageKind::Error);
    else
        ui_.attention().showOnTray(); // the state of the last update, also after a new taskbar
    trayMenu_.reset(LoadMenuW(instance_, MAKEINTRESOURCEW(IDR_TRAY_MENU)));
}

void MainWindow::removeTrayIcon() noexcept {
    ui_.attention().trayIcon().remove();
}

void MainWindow::onTrayMessage(UINT mouseMessage) {
    if (mouseMessage == WM_LBUTTONDOWN) {
        ui_.showMainWindow();
        return;
    }
    if (mouseMessage == NIN_BALLOONUSERCLICK) {
        ui_.showMainWindow();
        selectFirstNeedingAttention();
        return;
    }
    if (mouseMessage != WM_RBUTTONDOWN || !trayMenu_)
        return;
    POINT cursor{};
    if (!GetCursorPos(&cursor))
        return;
    // A pop-up menu only closes on a click elsewhere when its owner is the foreground window.
    SetForegroundWindow(window_);
    TrackPopupMenu(GetSubMenu(trayMenu_.get(), 0), TPM_BOTTOMALIGN | TPM_RIGHTALIGN, cursor.x,
                   cursor.y, 0, window_, nullptr);
    // ...and the next click only reaches the right window once the owner has seen a message.
    PostMessageA(window_, WM_NULL, 0, 0);
}

void MainWindow::selectFirstNeedingAttention() {
    HWND list = GetDlgItem(window_, IDC_ACCOUNT_LIST);
    const auto count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < count; ++row) {
        LVITEMW item{};
        item.mask = LVIF_PARAM;
        item.iItem = row;
        if (!SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item)) ||
            ui_.attention().board().markOf(static_cast<std::uint32_t>(item.lParam)) ==
                RowMark::Current)
            continue;
        LVITEMW state{};
        state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        state.state = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row),
                     reinterpret_cast<LPARAM>(&state));
        SendMessageW(list, LVM_ENSUREVISIBLE, static_cast<WPARAM>(row), FALSE);
        SetFocus(list);
        return;
    }
}

} // namespace kpv
