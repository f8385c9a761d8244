#pragma once
// Shows what needs attention: the colours of marked rows in the account list (custom draw of
// control 1002), the tray icon's state and tooltip, and that an update is under way.
#include "app/attention.h"
#include "app/win32/notify_icon_win32.h"

#include <windows.h>

#include <commctrl.h>

#include <string>
#include <vector>

namespace kpv {

// The state icons' resource ids, in image-list order: fresh, outdated, unopened, anomaly,
// paused.
extern const int STATE_ICONS[5];

class AttentionDisplay {
  public:
    // Until attached, the board is kept but nothing is drawn.
    void attach(HINSTANCE instance, HWND mainWindow) noexcept;

    // The row and update calls of the user-interface port.
    void clearRows();
    void addRow(std::uint32_t accountId, const RowStatus& status);
    void updateStarting(bool manual);
    void exchangeFailed();
    void updateFinished(bool exchangeRan);

    // A warning period (1-15 days) fixed by policy, used instead of the stored one; 0: none.
    void fixWarningDays(std::uint16_t days) noexcept { policyDays_ = days; }
    // The warning period or an account's rules may have changed: marks the rows again at
    // once, without an exchange.
    void remark();
    // The global warning period in seconds: the policy's when it fixes one, else the stored.
    std::uint32_t periodSeconds() const;
    // Puts the current state on the tray icon, which must already be in the notification
    // area (after it was added, also again after "TaskbarCreated").
    void showOnTray();
    // The latest alert delivery failed, or succeeded again: the tooltip says so.
    void setDeliveryFailed(bool failed);
    // The tooltip's second line without the note on alerts: an alert's summary.
    std::string summary() const { return board_.summaryLine(); }
    const AttentionBoard& board() const noexcept { return board_; }
    // The icon in the notification area, which the main window adds and removes.
    NotifyIcon& trayIcon() noexcept { return tray_; }
    // A notification-area balloon (kept by Windows 10 and 11 in the notification centre).
    // One that cannot be shown yet, before the icon is in the notification area, is shown as
    // soon as showOnTray puts it there.
    void showBalloon(const std::string& utf8Title, const std::string& utf8Text);
    // NM_CUSTOMDRAW from the list view: sets the colours of a marked row in `draw`, which the
    // list view reads back, and returns what the dialog procedure must leave as its result.
    LRESULT customDraw(NMLVCUSTOMDRAW& draw) const;

    // The state icon of the account's row: an index into the list's image list, in the order
    // of STATE_ICONS.
    int stateImage(std::uint32_t accountId) const;
    // The state in words (the icon's tooltip), UTF-8.
    const char* stateWords(std::uint32_t accountId) const;
    // The row status of the account as last shown; false when it has no row.
    bool rowStatusOf(std::uint32_t accountId, RowStatus& status) const;

  private:
    void setTray(int iconId, const std::string& utf8Tip);
    bool putBalloon();

    AttentionBoard board_;
    NotifyIcon tray_;
    struct RunningUpdate {
        bool manual;
        HCURSOR cursorBefore; // the cursor the wait cursor replaced, if any
    };
    std::vector<RunningUpdate> updates_; // the innermost last
    HINSTANCE instance_ = nullptr;
    HWND window_ = nullptr;
    std::uint16_t policyDays_ = 0;
    std::string balloonTitle_; // a balloon still to show; empty when none
    std::string balloonText_;
};

} // namespace kpv
