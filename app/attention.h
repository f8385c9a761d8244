#pragma once
// What needs the user's attention after the latest update: a mark for each row of the account
// list and the state of the tray icon with the second line of its tooltip. The shell keeps one
// board, feeds it the calls of the user-interface port and draws what it decides.
#include "status/status_view.h"

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace kpv {

enum class RowMark { Current, Outdated, Unopened };

// The three states of the tray icon, each with its own icon.
enum class TrayState { AllWell, NeedsAttention, NoContact };

// Unopened when the account's status could not be opened; Outdated by the rule of the
// outdated-backup warning (isOutdated) for the period in seconds; Current otherwise.
RowMark rowMark(const RowStatus& status, std::int64_t now, std::uint32_t periodSeconds);

// The tray tooltip's second line while an update runs.
inline constexpr const char* UPDATING_LINE = "Uppdaterar status…";

// The whole tray tooltip in UTF-8: "Kopiavakt", then a line feed and the second line when
// there is one.
std::string trayTooltip(const std::string& secondLine);

class AttentionBoard {
  public:
    // The rows as the list receives them.
    void clearRows();
    void addRow(std::uint32_t accountId, const RowStatus& status);

    // The update calls of the user-interface port. now: seconds since 1970-01-01 UTC.
    void updateStarting();
    void exchangeFailed(std::int64_t now);
    // An update whose exchange ran without a reported failure counts as contact with the
    // server; one without an exchange changes nothing about the contact, unless it was no
    // nested update and left no rows (no accounts): then there is no failure left to show.
    void updateFinished(bool exchangeRan, std::int64_t now);

    // Marks the rows again and decides the tray state: after every update and whenever the
    // warning period (seconds) changes.
    void remark(std::int64_t now, std::uint32_t periodSeconds);

    // As of the last remark. A row id the board does not know is Current.
    RowMark markOf(std::uint32_t accountId) const;
    TrayState trayState() const;
    // The tooltip's second line in UTF-8 (under 100 bytes), empty when all is well. Times are
    // local: "Ingen kontakt med servern sedan 14:05", with the date when it is not today.
    std::string trayLine() const;

  private:
    std::vector<std::pair<std::uint32_t, RowStatus>> rows_;
    std::map<std::uint32_t, RowMark> marks_;
    std::vector<bool> failedDuring_; // one entry per update under way, the innermost last
    bool lastExchangeFailed_ = false;
    std::int64_t lastContact_ = 0;  // 0 until the first exchange without failure
    std::int64_t failingSince_ = 0; // the first failure after the last contact
    std::int64_t markedAt_ = 0;
    std::uint32_t outdatedRows_ = 0;
    std::uint32_t unopenedRows_ = 0;
};

} // namespace kpv
