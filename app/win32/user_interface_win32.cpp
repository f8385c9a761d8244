#include "app/win32/resource_ids.h"
#include "app/win32/text_win32.h"
#include "app/win32/win32_user_interface.h"

#include <commctrl.h>

namespace kpv {

namespace {

constexpr wchar_t CAPTION[] = L"Kopiavakt";

UINT messageBoxStyle(MessageKind kind) noexcept {
    switch (kind) {
    case MessageKind::Question:
        return MB_YESNO | MB_ICONWARNING;
    case MessageKind::ExitQuestion:
        return MB_YESNO;
    case MessageKind::Error:
        break;
    }
    return MB_OK;
}

// The list view keeps its own copy of every text, so handing it the buffer's bytes is safe;
// the message structure merely lacks const. A text without its zero byte shows as no text.
char* rowText(const SecureBuffer& text) noexcept {
    static char noText[1] = {'\0'};
    if (text.empty() || text.data()[text.length() - 1] != 0)
        return noText;
    return const_cast<char*>(text.text());
}

} // namespace

void showStartupMessage(const char* utf8Text) {
    MessageBoxW(nullptr, widenUtf8(utf8Text).c_str(), CAPTION, MB_OK);
}

Answer Win32UserInterface::showMessage(const char* utf8Text, MessageKind kind) {
    int pressed =
        MessageBoxW(mainWindow_, widenUtf8(utf8Text).c_str(), CAPTION, messageBoxStyle(kind));
    if (pressed == IDYES)
        return Answer::Yes;
    // A question whose box could not be shown counts as declined.
    if (pressed == IDNO || kind != MessageKind::Error)
        return Answer::No;
    return Answer::Ok;
}

HWND Win32UserInterface::listView() const noexcept {
    return mainWindow_ != nullptr ? GetDlgItem(mainWindow_, IDC_ACCOUNT_LIST) : nullptr;
}

void Win32UserInterface::clearRows() {
    attention_.clearRows();
    alerts_.clearRows();
    HWND list = listView();
    if (list == nullptr)
        return;
    // The rows of a whole reply follow at once; painting each one would cost more than the
    // insert. Painting resumes when the message loop next runs, after the exchange.
    if (!paintingPaused_) {
        SendMessageA(list, WM_SETREDRAW, FALSE, 0);
        paintingPaused_ = true;
        if (!PostMessageA(mainWindow_, KPV_ROWS_DONE, 0, 0))
            finishRows();
    }
    SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
}

void Win32UserInterface::finishRows() noexcept {
    HWND list = listView();
    if (list == nullptr || !paintingPaused_)
        return;
    paintingPaused_ = false;
    SendMessageA(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, TRUE);
}

void Win32UserInterface::insertRow(std::uint32_t accountId, const SecureBuffer* texts,
                                   const RowStatus& status) {
    HWND list = listView();
    if (list == nullptr || texts == nullptr)
        return;
    attention_.addRow(accountId, status);
    alerts_.addRow(accountId, texts[0], status);
    LVITEMA item{};
    // The state icon follows the marks, which are decided after the rows are in.
    item.mask = LVIF_TEXT | LVIF_PARAM | LVIF_STATE | LVIF_IMAGE;
    item.iImage = I_IMAGECALLBACK;
    item.iItem = 0;
    item.iSubItem = 0;
    item.pszText = rowText(texts[0]);
    item.lParam = static_cast<LPARAM>(accountId);
    LRESULT row = SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
    if (row < 0)
        return;
    for (int column = 1; column < STATUS_COLUMN_COUNT; ++column) {
        LVITEMA cell{};
        cell.mask = LVIF_TEXT;
        cell.iItem = static_cast<int>(row);
        cell.iSubItem = column;
        cell.pszText = rowText(texts[column]);
        SendMessageA(list, LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&cell));
    }
}

void Win32UserInterface::updateFinished(bool exchangeRan) {
    attention_.updateFinished(exchangeRan);
    if (const auto message =
            alerts_.updateFinished(exchangeRan, attention_.summary(), attention_.periodSeconds()))
        attention_.showBalloon(alertTitle(*message), message->summary);
}

void Win32UserInterface::alertsChanged() {
    if (const auto status = alerts_.status())
        attention_.setDeliveryFailed(status->failing);
}

bool Win32UserInterface::selectedAccountId(std::uint32_t& accountId) {
    HWND list = listView();
    if (list == nullptr)
        return false;
    LRESULT row =
        SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), MAKELPARAM(LVNI_SELECTED, 0));
    if (row < 0)
        return false;
    LVITEMA item{};
    item.mask = LVIF_PARAM;
    item.iItem = static_cast<int>(row);
    if (!SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item)))
        return false;
    accountId = static_cast<std::uint32_t>(item.lParam);
    return true;
}

void Win32UserInterface::showMainWindow() {
    if (mainWindow_ == nullptr)
        return;
    ShowWindow(mainWindow_, SW_SHOWNORMAL);
    SetForegroundWindow(mainWindow_);
}

} // namespace kpv
