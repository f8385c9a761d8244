#pragma once
// Whether an update is worth a message: the states last reported (alert_state.bin, so that a
// restart repeats nothing) against the states of this update, judged by the one rule of
// status/account_state.h. All changes of one update make one message; while anything needs
// attention the summary goes again every ReminderHours, never more often.
#include "alerts/alert_message.h"
#include "core/record_stream.h"
#include "core/secure_buffer.h"
#include "status/account_rules.h"
#include "status/status_view.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace kpv {

inline constexpr const char* ALERT_STATE_FILE = "alert_state.bin";

// What was last reported, kept across restarts.
struct AlertMemory {
    std::map<std::uint32_t, AccountState> states; // by account id
    std::int64_t lastContact = 0;                 // the last exchange without failure; 0: none yet
    std::int64_t failingSince = 0; // the first failure since then; 0 while in contact
    bool noContactReported = false;
    std::int64_t lastAttentionSent = 0; // the last attention or reminder message; 0: none
};

// Content of alert_state.bin: u16 version (1), four times (u32 low, u32 high), u16 flags, u32
// count, then count pairs (u32 id, blob state name). False for any other shape.
bool readAlertMemory(RecordStream& content, AlertMemory& memory);
RecordStream writeAlertMemory(const AlertMemory& memory);
// False when missing or damaged: then nothing was reported before.
bool loadAlertMemory(AlertMemory& memory);
bool saveAlertMemory(const AlertMemory& memory);

// One row of the update, as the list got it.
struct AlertRow {
    std::uint32_t id = 0;
    SecureBuffer ansiName; // Windows-1252, zero-terminated or not
    RowStatus status;
};

struct UpdateFacts {
    std::vector<AlertRow> rows;
    bool exchangeFailed = false;     // the exchange ran and did not succeed
    std::int64_t now = 0;            // seconds since 1970-01-01 UTC
    std::uint32_t periodSeconds = 0; // the global one; an account's own rules may replace it
    RulesTable rules;
    std::string summary; // the tray tooltip's second line; empty when all is well
};

struct AlertTiming {
    std::uint32_t reminderHours = 24; // 0: never
    std::uint32_t noContactHours = 24;
};

class AlertJudge {
  public:
    explicit AlertJudge(AlertMemory memory) : memory_(std::move(memory)) {}

    // Judges one update whose exchange ran. Returns the message it calls for, if any; the
    // memory then holds what the message reported (save it when changed() says so).
    std::optional<AlertMessage> judge(const UpdateFacts& facts, const AlertTiming& timing);

    // True when the update just judged had contact and nothing needs attention: the moment
    // for the dead-man's ping.
    bool allWell() const { return allWell_; }
    // The memory changed in the last judge.
    bool changed() const { return changed_; }
    const AlertMemory& memory() const { return memory_; }
    // The accounts of the latest update that need attention, as a reminder lists them.
    std::vector<AlertAccount> needingAttention() const;

  private:
    std::uint32_t countNeedingAttention() const;
    AlertMessage message(AlertEvent event, const UpdateFacts& facts) const;

    AlertMemory memory_;
    std::vector<AlertAccount> lastAccounts_; // every row of the latest update with contact
    bool allWell_ = false;
    bool changed_ = false;
};

// The summary of a message when the tooltip has none: all is well.
inline constexpr const char* ALL_WELL_SUMMARY = "Alla säkerhetskopior är aktuella";

} // namespace kpv
