#include "app/win32/main_window_win32.h"

#include "app/account_commands.h"
#include "app/managed_accounts.h"
#include "app/rules_commands.h"
#include "app/update_cycle.h"
#include "app/user_list_commands.h"
#include "app/win32/account_lock_win32.h"
#include "app/win32/alerts_dialog_win32.h"
#include "app/win32/dialogs_win32.h"
#include "app/win32/history_window_win32.h"
#include "app/win32/procedure_guard_win32.h"
#include "app/win32/resource_ids.h"
#include "app/win32/rules_dialog_win32.h"
#include "app/win32/text_win32.h"
#include "app/win32/window_file_win32.h"
#include "app/win32/window_placement_win32.h"
#include "core/clock.h"

#include <commctrl.h>

#include <string>

namespace kpv {

namespace {

constexpr UINT_PTR UPDATE_TIMER = 1;
constexpr UINT UPDATE_INTERVAL_MS = 600000;

struct Column {
    const char* utf8Header;
    int width; // pixels at 96 DPI; scaled to the window's DPI
};

constexpr int BASE_DPI = 96;

constexpr Column COLUMNS[STATUS_COLUMN_COUNT] = {
    {"Namn", 140},
    {"Senaste kopiering", 125},
    {"Antal filer", 85},
    {"Total storlek", 95},
    {"Antal uteslutna filer", 120},
    {"Antal kopieringar utförda", 140},
    {"Antal lagrade kopior", 140},
    {"Diskutrymme", 100},
};

constexpr LPARAM LIST_STYLE = LVS_EX_FULLROWSELECT | LVS_EX_BORDERSELECT | LVS_EX_COLUMNSNAPPOINTS;
static_assert(LIST_STYLE == 0x40008020);

// Screen coordinates travel as two signed 16-bit halves.
POINT pointFrom(LPARAM packed) noexcept {
    auto bits = static_cast<std::uint32_t>(packed);
    return POINT{static_cast<std::int16_t>(bits & 0xFFFF),
                 static_cast<std::int16_t>((bits >> 16) & 0xFFFF)};
}

// The menu key and Shift+F10 give no point (-1, -1): the menu then opens at the selected row.
POINT besideSelectedRow(HWND list) noexcept {
    POINT at{0, 0};
    LRESULT row =
        SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), MAKELPARAM(LVNI_SELECTED, 0));
    RECT bounds{};
    bounds.left = LVIR_BOUNDS;
    if (row >= 0 && SendMessageW(list, LVM_GETITEMRECT, static_cast<WPARAM>(row),
                                 reinterpret_cast<LPARAM>(&bounds))) {
        at = POINT{bounds.left, bounds.bottom};
    }
    ClientToScreen(list, &at);
    return at;
}

// The window's DPI, per monitor where the system knows it. Looked up at run time: Windows 10
// before 1607 lacks the call, and there the system DPI is the only one.
int windowDpi(HWND window) noexcept {
    using DpiForWindow = UINT(WINAPI*)(HWND);
    static const auto dpiForWindow = reinterpret_cast<DpiForWindow>(reinterpret_cast<void (*)()>(
        GetProcAddress(GetModuleHandleA("user32.dll"), "GetDpiForWindow")));
    if (dpiForWindow != nullptr) {
        UINT dpi = dpiForWindow(window);
        if (dpi != 0)
            return static_cast<int>(dpi);
    }
    int dpi = BASE_DPI;
    if (HDC screen = GetDC(nullptr)) {
        dpi = GetDeviceCaps(screen, LOGPIXELSX);
        ReleaseDC(nullptr, screen);
    }
    return dpi > 0 ? dpi : BASE_DPI;
}

// The rules and history items after menu 104's own items, behind a separator: menu 104 stays
// as it is, and the user sees one menu.
void appendRulesItems(HINSTANCE instance, HMENU listMenu) {
    HMENU items = LoadMenuW(instance, MAKEINTRESOURCEW(IDR_RULES_MENU));
    HMENU into = GetSubMenu(listMenu, 0);
    if (items == nullptr || into == nullptr) {
        if (items != nullptr)
            DestroyMenu(items);
        return;
    }
    HMENU source = GetSubMenu(items, 0);
    AppendMenuW(into, MF_SEPARATOR, 0, nullptr);
    // Each item moves over whole, a submenu with its own items.
    while (source != nullptr && GetMenuItemCount(source) > 0) {
        wchar_t text[64] = {};
        GetMenuStringW(source, 0, text, 64, MF_BYPOSITION);
        HMENU submenu = GetSubMenu(source, 0);
        if (submenu != nullptr) {
            RemoveMenu(source, 0, MF_BYPOSITION); // the submenu now belongs to `into`
            AppendMenuW(into, MF_POPUP, reinterpret_cast<UINT_PTR>(submenu), text);
        } else {
            const UINT id = GetMenuItemID(source, 0);
            RemoveMenu(source, 0, MF_BYPOSITION);
            AppendMenuW(into, MF_STRING, id, text);
        }
    }
    DestroyMenu(items);
}

// The state icons at the small icon size, in STATE_ICONS order; the list destroys the list.
void setStateImages(HINSTANCE instance, HWND list) {
    const int cx = GetSystemMetrics(SM_CXSMICON);
    const int cy = GetSystemMetrics(SM_CYSMICON);
    HIMAGELIST images = ImageList_Create(cx, cy, ILC_COLOR32 | ILC_MASK, 5, 0);
    if (images == nullptr)
        return;
    for (const int id : STATE_ICONS) {
        UniqueIcon icon(
            static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(id), IMAGE_ICON, cx, cy, 0)));
        ImageList_AddIcon(images, icon.get()); // copies the icon
    }
    SendMessageW(list, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(images));
}

std::uint32_t itemAccountId(HWND list, int row) {
    LVITEMW item{};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    if (!SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item)))
        return 0;
    return static_cast<std::uint32_t>(item.lParam);
}

} // namespace

INT_PTR MainWindow::run() {
    // Every dialog is run through the wide call: one made by the ANSI call creates its
    // controls with the template's texts squeezed through the ANSI code page, which loses
    // å, ä and ö under most code pages.
    return DialogBoxParamW(instance_, MAKEINTRESOURCEW(IDD_MAIN_WINDOW), nullptr, procedure,
                           reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK MainWindow::procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return guardProcedure([&]() -> INT_PTR {
        if (message == WM_INITDIALOG) {
            auto* self = reinterpret_cast<MainWindow*>(lParam);
            SetWindowLongPtrA(window, DWLP_USER, lParam);
            self->initialise(window);
            return TRUE;
        }
        auto* self = reinterpret_cast<MainWindow*>(GetWindowLongPtrA(window, DWLP_USER));
        // Messages before initialisation (the font, for one) belong to the system.
        return self != nullptr ? self->handle(message, wParam, lParam) : FALSE;
    });
}

INT_PTR MainWindow::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CLOSE:
        hide();
        return TRUE;
    case WM_CONTEXTMENU:
        onContextMenu(reinterpret_cast<HWND>(wParam), lParam);
        return TRUE;
    case WM_COMMAND:
        onCommand(LOWORD(wParam));
        return TRUE;
    case WM_TIMER:
        updateStatus(client_, true);
        return TRUE;
    case KPV_TRAY_CALLBACK:
        onTrayMessage(static_cast<UINT>(lParam));
        return TRUE;
    case KPV_ROWS_DONE:
        ui_.finishRows();
        return TRUE;
    case KPV_ALERTS_CHANGED:
        ui_.alertsChanged();
        return TRUE;
    case WM_NOTIFY:
        return lParam != 0 ? onNotify(*reinterpret_cast<NMHDR*>(lParam)) : FALSE;
    case WM_DPICHANGED:
        rescaleColumns(LOWORD(wParam));
        return FALSE; // the dialog manager moves and rescales the window and its controls
    default:
        break;
    }
    if (taskbarCreated_ != 0 && message == taskbarCreated_) {
        installTrayIcon(); // the notification area was rebuilt and lost every icon
        return FALSE;
    }
    return FALSE;
}

void MainWindow::initialise(HWND window) {
    window_ = window;
    ui_.attachMainWindow(window);
    centreOnScreen(window);
    writeWindowFile(window);
    taskbarCreated_ = RegisterWindowMessageA("TaskbarCreated");
    insertColumns();
    ui_.attention().fixWarningDays(client_.policy.warningDays);
    if (!client_.policy.userListFile.empty())
        importPresetList();
    insertAlertsMenuItem();
    // The first update runs before the window is shown: it appears with its rows.
    updateStatus(client_, false);
    SetTimer(window, UPDATE_TIMER, UPDATE_INTERVAL_MS, nullptr);
    listMenu_.reset(LoadMenuW(instance_, MAKEINTRESOURCEW(IDR_LIST_MENU)));
    if (listMenu_)
        appendRulesItems(instance_, listMenu_.get());
    if (client_.policy.accountsLocked)
        greyAccountChanges(GetMenu(window_), listMenu_.get(), GetDlgItem(window_, IDC_ADD_USER));
    installTrayIcon();
    setWindowIcons();
}

void MainWindow::importPresetList() {
    // The policy's path is UTF-8; the file calls take the ANSI code page. A path with no ANSI
    // form cannot be opened, and is reported like any unreadable file.
    const SecureBuffer path =
        narrowToAnsi(widenUtf8(client_.policy.userListFile.c_str()).c_str(), MAX_PATH);
    importPresetUserList(client_, path.empty() ? "" : path.text());
}

// Put in when the window opens rather than in the menu resource, which other tools read as
// it always was.
void MainWindow::insertAlertsMenuItem() {
    HMENU file = GetSubMenu(GetMenu(window_), 0);
    if (file == nullptr)
        return;
    const int count = GetMenuItemCount(file);
    for (int i = 0; i < count; ++i) {
        if (GetMenuItemID(file, i) != IDM_SETTINGS)
            continue;
        const std::wstring text = widenUtf8("Aviseringar...");
        InsertMenuW(file, static_cast<UINT>(i + 1), MF_BYPOSITION | MF_STRING, IDM_ALERTS,
                    text.c_str());
        DrawMenuBar(window_);
        return;
    }
}

void MainWindow::insertColumns() {
    HWND list = GetDlgItem(window_, IDC_ACCOUNT_LIST);
    dpi_ = windowDpi(window_);
    for (int i = 0; i < STATUS_COLUMN_COUNT; ++i) {
        std::wstring header = widenUtf8(COLUMNS[i].utf8Header);
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH;
        column.cx = MulDiv(COLUMNS[i].width, dpi_, BASE_DPI);
        column.pszText = header.data();
        SendMessageW(list, LVM_INSERTCOLUMNW, static_cast<WPARAM>(i),
                     reinterpret_cast<LPARAM>(&column));
    }
    // A mask of 0 replaces every extended style: the list has exactly these.
    SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LIST_STYLE);
    // Then the one addition: an item's tooltip tells its state icon in words.
    SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_INFOTIP, LVS_EX_INFOTIP);
    setStateImages(instance_, list);
}

// Column widths are pixels, which the dialog manager does not rescale; the user's own widths
// keep their proportion.
void MainWindow::rescaleColumns(int dpi) {
    if (dpi <= 0 || dpi == dpi_)
        return;
    HWND list = GetDlgItem(window_, IDC_ACCOUNT_LIST);
    for (int i = 0; i < STATUS_COLUMN_COUNT; ++i) {
        auto width =
            static_cast<int>(SendMessageW(list, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(i), 0));
        SendMessageW(list, LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(i),
                     MAKELPARAM(MulDiv(width, dpi, dpi_), 0));
    }
    dpi_ = dpi;
}

void MainWindow::setWindowIcons() {
    HICON large = LoadIconA(instance_, MAKEINTRESOURCEA(IDI_KOPIAVAKT));
    if (large != nullptr)
        SendMessageA(window_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(large));
    smallIcon_.reset(static_cast<HICON>(LoadImageA(instance_, MAKEINTRESOURCEA(IDI_KOPIAVAKT),
                                                   IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                                   GetSystemMetrics(SM_CYSMICON), 0)));
    if (smallIcon_)
        SendMessageA(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_.get()));
}

void MainWindow::onCommand(unsigned id) {
    switch (id) {
    case IDM_REFRESH:
        updateStatus(client_, false);
        break;
    case IDM_SETTINGS:
        showSettingsDialog(instance_, window_, client_.policy.warningDays);
        ui_.attention().remark(); // a new period marks the rows at once
        break;
    case IDM_ALERTS:
        showAlertsDialog(instance_, window_, ui_.alerts());
        break;
    case IDM_HIDE:
    case IDC_HIDE:
        hide();
        break;
    case IDM_EXIT_ASK:
        exit(true);
        break;
    case IDM_EXIT_NOW:
        exit(false);
        break;
    case IDM_ADD_ACCOUNT:
    case IDC_ADD_USER:
        addAccount(client_);
        break;
    case IDM_REMOVE_SELECTED:
    case IDM_REMOVE_FROM_LIST:
        removeSelectedAccount(client_);
        break;
    case IDM_RENAME:
        renameSelectedAccount(client_);
        break;
    case IDM_EXPORT_LIST:
        exportUserList(client_);
        break;
    case IDM_IMPORT_LIST:
        importUserList(client_);
        break;
    case IDM_ABOUT:
        showAboutDialog(instance_, window_);
        break;
    case IDM_SHOW_EXCLUDED:
        showExcludedFiles();
        break;
    case IDM_OPEN:
        ui_.showMainWindow();
        break;
    case IDM_ACCOUNT_RULES:
    case IDM_HISTORY:
    case IDM_SNOOZE_NEXT_COPY:
    case IDM_SNOOZE_1_DAY:
    case IDM_SNOOZE_3_DAYS:
    case IDM_SNOOZE_7_DAYS:
    case IDM_SNOOZE_END:
        onAccountCommand(id);
        break;
    default:
        break; // Enter and Esc arrive as the ids 1 and 2 and do nothing
    }
}

void MainWindow::onAccountCommand(unsigned id) {
    std::uint32_t accountId = 0;
    if (!ui_.selectedAccountId(accountId))
        return;
    if (id == IDM_HISTORY) {
        char name[256] = {};
        HWND list = GetDlgItem(window_, IDC_ACCOUNT_LIST);
        const LRESULT row = SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1),
                                         MAKELPARAM(LVNI_SELECTED, 0));
        LVITEMA item{};
        item.iSubItem = 0;
        item.pszText = name;
        item.cchTextMax = sizeof name;
        if (row >= 0)
            SendMessageA(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(row),
                         reinterpret_cast<LPARAM>(&item));
        showHistoryWindow(instance_, window_, accountId, name);
        return;
    }
    if (id == IDM_ACCOUNT_RULES) {
        if (showRulesDialog(instance_, window_, accountId))
            ui_.attention().remark();
        return;
    }
    SnoozeChoice choice = SnoozeChoice::End;
    if (id == IDM_SNOOZE_NEXT_COPY)
        choice = SnoozeChoice::UntilNewCopy;
    else if (id == IDM_SNOOZE_1_DAY)
        choice = SnoozeChoice::OneDay;
    else if (id == IDM_SNOOZE_3_DAYS)
        choice = SnoozeChoice::ThreeDays;
    else if (id == IDM_SNOOZE_7_DAYS)
        choice = SnoozeChoice::SevenDays;
    RowStatus current;
    (void)ui_.attention().rowStatusOf(accountId, current);
    (void)snoozeAccount(accountId, choice, current, client_.clock.now());
    ui_.attention().remark();
}

INT_PTR MainWindow::onNotify(NMHDR& header) {
    if (header.idFrom != IDC_ACCOUNT_LIST)
        return FALSE;
    if (header.code == LVN_GETDISPINFOW || header.code == LVN_GETDISPINFOA) {
        // Both records begin alike up to the item's image and data.
        auto& info = reinterpret_cast<NMLVDISPINFOW&>(header);
        if ((info.item.mask & LVIF_IMAGE) != 0)
            info.item.iImage =
                ui_.attention().stateImage(itemAccountId(header.hwndFrom, info.item.iItem));
        return TRUE;
    }
    if (header.code == LVN_GETINFOTIPW) {
        auto& tip = reinterpret_cast<NMLVGETINFOTIPW&>(header);
        const std::wstring words =
            widenUtf8(ui_.attention().stateWords(itemAccountId(header.hwndFrom, tip.iItem)));
        if (tip.pszText != nullptr && tip.cchTextMax > 0) {
            // The list may already hold the cut-off item text: the state goes first.
            const std::wstring whole = words + L"\n" + std::wstring(tip.pszText);
            lstrcpynW(tip.pszText,
                      (tip.dwFlags & LVGIT_UNFOLDED) != 0 ? words.c_str() : whole.c_str(),
                      tip.cchTextMax);
        }
        return TRUE;
    }
    if (header.code != NM_CUSTOMDRAW)
        return FALSE;
    // A dialog procedure hands its result back through the window, not its return value.
    SetWindowLongPtrW(window_, DWLP_MSGRESULT,
                      ui_.attention().customDraw(reinterpret_cast<NMLVCUSTOMDRAW&>(header)));
    return TRUE;
}

void MainWindow::onContextMenu(HWND source, LPARAM screenPoint) const {
    HWND list = GetDlgItem(window_, IDC_ACCOUNT_LIST);
    std::uint32_t accountId = 0;
    if (source != list || !listMenu_ || !ui_.selectedAccountId(accountId))
        return;
    POINT at = pointFrom(screenPoint);
    if (at.x == -1 && at.y == -1)
        at = besideSelectedRow(list);
    TrackPopupMenu(GetSubMenu(listMenu_.get(), 0), TPM_LEFTBUTTON, at.x, at.y, 0, window_, nullptr);
}

void MainWindow::hide() const {
    ShowWindow(window_, SW_HIDE);
}

void MainWindow::showExcludedFiles() {
    std::uint32_t accountId = 0;
    if (!ui_.selectedAccountId(accountId))
        return;
    showExcludedFilesDialog(instance_, window_, client_, accountId);
}

void MainWindow::exit(bool ask) {
    if (ask && ui_.showMessage("Om programmet avslutas kommer inga varningar visas om föråldrade "
                               "kopior. Vill du ändå avsluta?",
                               MessageKind::ExitQuestion) != Answer::Yes)
        return;
    listMenu_.reset();
    trayMenu_.reset();
    removeTrayIcon();
    EndDialog(window_, 0);
}

} // namespace kpv
