#pragma once
// The rules the user set for single accounts: an own warning period, a pause of the warnings
// ("Pausa varningar") and the thresholds of the anomaly rules, kept in rules.bin in the working
// folder and keyed by account id (a renamed account keeps its rules; a removed one loses them).
#include "core/record_stream.h"

#include <cstdint>
#include <map>

namespace kpv {

inline constexpr const char* RULES_FILE = "rules.bin";

inline constexpr std::uint16_t MIN_ACCOUNT_PERIOD_DAYS = 1;
inline constexpr std::uint16_t MAX_ACCOUNT_PERIOD_DAYS = 60;
inline constexpr std::uint16_t MIN_DROP_PERCENT = 1;
inline constexpr std::uint16_t MAX_DROP_PERCENT = 99;
inline constexpr std::uint16_t DEFAULT_DROP_PERCENT = 50;

enum class SnoozeKind : std::uint16_t {
    None = 0,
    UntilNewCopy = 1, // until the latest copy differs from `snoozeCopyTime`
    UntilTime = 2,    // until the clock reaches `snoozeUntil`
};

// One account's rules; a default-made value is what holds for an account without any.
struct AccountRules {
    std::uint16_t periodDays = 0; // 0: the global period of "Inställningar"; else 1 to 60
    // Each anomaly rule raises when the new copy's value lies more than the percentage below
    // the previous copy's (files also when they fell to 0, stored copies also when they fell
    // to 0 from more than 1).
    bool sizeRule = true;
    std::uint16_t sizeDropPercent = DEFAULT_DROP_PERCENT;
    bool fileRule = true;
    std::uint16_t fileDropPercent = DEFAULT_DROP_PERCENT;
    bool copiesRule = true;
    std::uint16_t copiesDropPercent = DEFAULT_DROP_PERCENT;
    SnoozeKind snooze = SnoozeKind::None;
    std::uint32_t snoozeUntil = 0;    // seconds since 1970-01-01 UTC, for UntilTime
    std::uint32_t snoozeCopyTime = 0; // the latest copy when paused, for UntilNewCopy

    bool operator==(const AccountRules&) const = default;
};

// True when the rules are the defaults in every respect.
bool isDefault(const AccountRules& rules);

// Rules by account id; an id without an entry has the defaults.
class RulesTable {
  public:
    const AccountRules& rulesOf(std::uint32_t accountId) const;
    // Stores the rules; default rules remove the entry.
    void set(std::uint32_t accountId, const AccountRules& rules);
    // Removes every entry whose id `keep` refuses; the removed count.
    template <typename Keep>
    std::size_t retain(Keep keep) {
        std::size_t removed = 0;
        for (auto it = entries_.begin(); it != entries_.end();)
            if (!keep(it->first)) {
                it = entries_.erase(it);
                ++removed;
            } else {
                ++it;
            }
        return removed;
    }
    bool empty() const { return entries_.empty(); }
    std::size_t size() const { return entries_.size(); }
    const std::map<std::uint32_t, AccountRules>& entries() const { return entries_; }

  private:
    std::map<std::uint32_t, AccountRules> entries_;
};

// The content of rules.bin: u16 format version (1), u32 count, then per entry a blob of
// u32 id, u16 period days, u16 flags (bit 0 size rule, bit 1 file rule, bit 2 copies rule),
// u16 size %, u16 files %, u16 copies %, u16 snooze kind, u32 snooze until, u32 snooze copy
// time. Later versions may make the blobs longer; what follows the known fields is ignored.
void writeRules(const RulesTable& table, RecordStream& content);
// Reads what writeRules wrote. Any other version reads as no rules; an entry cut short, or
// holding a value out of its range, is skipped (that account has the defaults); a count
// beyond the content stops at its end.
RulesTable readRules(RecordStream& content);

// The rules of the working folder's rules.bin (or of `path`); no rules when it is missing or
// does not load.
RulesTable loadRules(const char* path = RULES_FILE);
// Replaces the file whole (core/data_file.h); false, with the file as it was, on failure.
bool saveRules(const RulesTable& table, const char* path = RULES_FILE);

} // namespace kpv
