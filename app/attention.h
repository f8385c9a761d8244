#pragma once
// What needs the user's attention after the latest update: a mark for each row of the account
// list and the state of the tray icon with the second line of its tooltip. The shell keeps one
// board, feeds it the calls of the user-interface port and draws what it decides.
#include "status/account_rules.h"
#include "status/account_state.h"
#include "status/status_view.h"

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace kpv {

// Graver last: two rows of one id show the graver mark.
enum class RowMark { Current, Snoozed, Anomaly, Outdated, Unopened };

// The three states of the tray icon, each with its own icon.
enum class TrayState { AllWell, NeedsAttention, NoContact };

// Unopened when the account's status could not be opened; Outdated by the rule of the
// outdated-backup warning (isOutdated) for the period in seconds; Current otherwise.
RowMark rowMark(const RowStatus& status, std::int64_t now, std::uint32_t periodSeconds);
// The mark of a judged state: Anomaly for emptied, shrunk and copies lost.
RowMark markOf(AccountState state);

// What a row's state icon tells in words (its tooltip), UTF-8: "Aktuell kopia", "Föråldrad
// kopia", "Status kunde inte läsas", "Avvikelse: kopian har inga filer", "Avvikelse: kopian
// har krympt", "Avvikelse: lagrade kopior har försvunnit", "Varningar pausade".
const char* stateText(AccountState state);

// The tray tooltip's second line while an update runs.
inline constexpr const char* UPDATING_LINE = "Uppdaterar status…";
// The tray tooltip's second line, or its end, while an alert waits for a delivery that failed.
inline constexpr const char* DELIVERY_FAILED_LINE = "Aviseringen kunde inte skickas";
inline constexpr const char* DELIVERY_FAILED_NOTE = " (avisering ej skickad)";

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
    // warning period (seconds) or an account's rules change.
    void remark(std::int64_t now, std::uint32_t periodSeconds, const RulesTable& rules = {});

    // As of the last remark. A row id the board does not know is Current (and Ok).
    RowMark markOf(std::uint32_t accountId) const;
    AccountState stateOf(std::uint32_t accountId) const;
    // The row status the board holds for the account; false when it has none.
    bool rowStatusOf(std::uint32_t accountId, RowStatus& status) const;
    TrayState trayState() const;
    // The tooltip's second line in UTF-8 (under 100 bytes), empty when all is well. Times are
    // local: "Ingen kontakt med servern sedan 14:05", with the date when it is not today. A
    // failed alert delivery adds DELIVERY_FAILED_NOTE (or is the line when all else is well).
    std::string trayLine() const;
    // The same line without the note on alerts: the summary an alert carries.
    std::string summaryLine() const;
    // The latest attempt to deliver an alert failed (false again once one is delivered).
    void setDeliveryFailed(bool failed) { deliveryFailed_ = failed; }

  private:
    std::vector<std::pair<std::uint32_t, RowStatus>> rows_;
    std::map<std::uint32_t, AccountState> states_; // the graver state of rows of one id
    std::vector<bool> failedDuring_; // one entry per update under way, the innermost last
    bool lastExchangeFailed_ = false;
    std::int64_t lastContact_ = 0;  // 0 until the first exchange without failure
    std::int64_t failingSince_ = 0; // the first failure after the last contact
    std::int64_t markedAt_ = 0;
    std::uint32_t outdatedRows_ = 0;
    std::uint32_t unopenedRows_ = 0;
    std::uint32_t anomalyRows_ = 0;
    bool deliveryFailed_ = false;
};

} // namespace kpv
