#include "app/win32/attention_display_win32.h"

#include "app/settings.h"
#include "app/win32/resource_ids.h"
#include "app/win32/unique_handle_win32.h"
#include "core/clock.h"
#include "status/account_rules.h"

namespace kpv {

namespace {

// Light backgrounds with dark text of the same hue: readable, and told apart without relying
// on the hue alone (the outdated row is red, the unopened one amber and a shade lighter).
constexpr COLORREF OUTDATED_TEXT = RGB(0x9C, 0x00, 0x06);
constexpr COLORREF OUTDATED_BACK = RGB(0xFF, 0xC7, 0xCE);
constexpr COLORREF UNOPENED_TEXT = RGB(0x6B, 0x48, 0x00);
constexpr COLORREF UNOPENED_BACK = RGB(0xFF, 0xEB, 0x9C);
// An anomaly is violet (and its icon a diamond); a paused account grey.
constexpr COLORREF ANOMALY_TEXT = RGB(0x4A, 0x14, 0x8C);
constexpr COLORREF ANOMALY_BACK = RGB(0xE6, 0xD9, 0xF5);
constexpr COLORREF SNOOZED_TEXT = RGB(0x4D, 0x4D, 0x4D);
constexpr COLORREF SNOOZED_BACK = RGB(0xE3, 0xE3, 0xE3);

bool highContrast() noexcept {
    HIGHCONTRASTW setting{};
    setting.cbSize = sizeof setting;
    return SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof setting, &setting, 0) &&
           (setting.dwFlags & HCF_HIGHCONTRASTON) != 0;
}

int iconFor(TrayState state) noexcept {
    switch (state) {
    case TrayState::NeedsAttention:
        return IDI_KOPIAVAKT_ATTENTION;
    case TrayState::NoContact:
        return IDI_KOPIAVAKT_NO_CONTACT;
    case TrayState::AllWell:
        break;
    }
    return IDI_KOPIAVAKT;
}

std::int64_t now() {
    return systemClock().now();
}

} // namespace

const int STATE_ICONS[5] = {IDI_STATE_FRESH, IDI_STATE_OUTDATED, IDI_STATE_UNOPENED,
                            IDI_STATE_ANOMALY, IDI_STATE_PAUSED};

int AttentionDisplay::stateImage(std::uint32_t accountId) const {
    switch (board_.markOf(accountId)) {
    case RowMark::Outdated:
        return 1;
    case RowMark::Unopened:
        return 2;
    case RowMark::Anomaly:
        return 3;
    case RowMark::Snoozed:
        return 4;
    case RowMark::Current:
        break;
    }
    return 0;
}

const char* AttentionDisplay::stateWords(std::uint32_t accountId) const {
    return stateText(board_.stateOf(accountId));
}

bool AttentionDisplay::rowStatusOf(std::uint32_t accountId, RowStatus& status) const {
    return board_.rowStatusOf(accountId, status);
}

void AttentionDisplay::attach(HINSTANCE instance, HWND mainWindow) noexcept {
    instance_ = instance;
    window_ = mainWindow;
    tray_.attach(mainWindow);
}

void AttentionDisplay::clearRows() {
    board_.clearRows();
}

void AttentionDisplay::addRow(std::uint32_t accountId, const RowStatus& status) {
    board_.addRow(accountId, status);
}

void AttentionDisplay::updateStarting(bool manual) {
    board_.updateStarting();
    // The exchange blocks the window: only the notification area can still say what goes on.
    setTray(iconFor(board_.trayState()), trayTooltip(UPDATING_LINE));
    updates_.push_back({manual, manual ? SetCursor(LoadCursorA(nullptr, IDC_WAIT)) : nullptr});
}

void AttentionDisplay::exchangeFailed() {
    board_.exchangeFailed(now());
}

void AttentionDisplay::updateFinished(bool exchangeRan) {
    board_.updateFinished(exchangeRan, now());
    if (!updates_.empty()) {
        const RunningUpdate update = updates_.back();
        updates_.pop_back();
        if (update.manual)
            SetCursor(update.cursorBefore != nullptr ? update.cursorBefore
                                                     : LoadCursorA(nullptr, IDC_ARROW));
    }
    remark();
}

std::uint32_t AttentionDisplay::periodSeconds() const {
    return warningPeriodSeconds(effectiveWarningDays(policyDays_));
}

void AttentionDisplay::remark() {
    board_.remark(now(), periodSeconds(), loadRules());
    if (window_ != nullptr)
        InvalidateRect(GetDlgItem(window_, IDC_ACCOUNT_LIST), nullptr, TRUE);
    showOnTray();
}

void AttentionDisplay::showOnTray() {
    setTray(iconFor(board_.trayState()), trayTooltip(board_.trayLine()));
    if (!balloonTitle_.empty() && putBalloon())
        balloonTitle_.clear();
}

void AttentionDisplay::setDeliveryFailed(bool failed) {
    board_.setDeliveryFailed(failed);
    showOnTray();
}

void AttentionDisplay::showBalloon(const std::string& utf8Title, const std::string& utf8Text) {
    balloonTitle_ = utf8Title;
    balloonText_ = utf8Text;
    if (putBalloon())
        balloonTitle_.clear();
}

bool AttentionDisplay::putBalloon() {
    return tray_.showBalloon(balloonTitle_, balloonText_);
}

void AttentionDisplay::setTray(int iconId, const std::string& utf8Tip) {
    if (window_ == nullptr)
        return;
    UniqueIcon icon(static_cast<HICON>(LoadImageW(instance_, MAKEINTRESOURCEW(iconId), IMAGE_ICON,
                                                  GetSystemMetrics(SM_CXSMICON),
                                                  GetSystemMetrics(SM_CYSMICON), 0)));
    (void)tray_.change(icon.get(), utf8Tip); // no icon yet (or none possible): nothing to change
}

LRESULT AttentionDisplay::customDraw(NMLVCUSTOMDRAW& draw) const {
    if (draw.nmcd.dwDrawStage == CDDS_PREPAINT)
        return CDRF_NOTIFYITEMDRAW;
    if (draw.nmcd.dwDrawStage != CDDS_ITEMPREPAINT)
        return CDRF_DODEFAULT;
    const RowMark mark = board_.markOf(static_cast<std::uint32_t>(draw.nmcd.lItemlParam));
    // A selected row keeps the selection's colours, so the selection reads as always.
    const auto item = static_cast<WPARAM>(draw.nmcd.dwItemSpec);
    if (mark == RowMark::Current ||
        SendMessageW(draw.nmcd.hdr.hwndFrom, LVM_GETITEMSTATE, item, LVIS_SELECTED) != 0)
        return CDRF_DODEFAULT;
    if (highContrast()) {
        // The theme's own colours only: the text (and the state icon) tells the rows apart.
        draw.clrText =
            GetSysColor(mark == RowMark::Outdated || mark == RowMark::Anomaly ? COLOR_HOTLIGHT
                                                                              : COLOR_GRAYTEXT);
        draw.clrTextBk = GetSysColor(COLOR_WINDOW);
    } else if (mark == RowMark::Outdated) {
        draw.clrText = OUTDATED_TEXT;
        draw.clrTextBk = OUTDATED_BACK;
    } else if (mark == RowMark::Anomaly) {
        draw.clrText = ANOMALY_TEXT;
        draw.clrTextBk = ANOMALY_BACK;
    } else if (mark == RowMark::Snoozed) {
        draw.clrText = SNOOZED_TEXT;
        draw.clrTextBk = SNOOZED_BACK;
    } else {
        draw.clrText = UNOPENED_TEXT;
        draw.clrTextBk = UNOPENED_BACK;
    }
    return CDRF_NEWFONT;
}

} // namespace kpv
