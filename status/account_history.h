#pragma once
// The history of each account's status: the values of every update that opened it, kept when
// they differ from the account's last record, bounded in records and in age. The anomaly rules
// find the previous copy here; "Historik..." shows it. Nothing of it is sent anywhere.
#include "core/record_stream.h"
#include "status/status_view.h"

#include <cstdint>
#include <deque>
#include <unordered_map>
#include <vector>

namespace kpv {

inline constexpr const char* HISTORY_FILE = "history.bin";

inline constexpr std::uint32_t MAX_RECORDS_PER_ACCOUNT = 2000;
inline constexpr std::uint32_t MAX_HISTORY_AGE_SECONDS = 400 * 86400;
// The whole history never holds more records than this (about 46 MiB on disk), so that even
// 65535 accounts keep the file far inside the data-file envelope's limit: each account then
// keeps its newest MAX_HISTORY_RECORDS / accounts records (at least 2).
inline constexpr std::uint32_t MAX_HISTORY_RECORDS = 1000000;

// One update's values of one account. Times in seconds since 1970-01-01 UTC; sizes in bytes.
struct HistoryRecord {
    std::uint32_t timeSeen = 0; // when the update opened the status
    std::uint32_t lastCopyTime = 0;
    std::uint32_t fileCount = 0;
    std::uint64_t totalSize = 0;
    std::uint32_t excludedCount = 0;
    std::uint32_t copiesMade = 0;
    std::uint32_t storedCopies = 0;
    std::uint64_t diskSpace = 0;

    // The reply's values alike, whenever they were seen.
    bool sameValues(const HistoryRecord& other) const;
};

// The record of an opened row seen at `timeSeen`.
HistoryRecord historyRecordOf(const RowStatus& status, std::uint32_t timeSeen);

// How many records each account keeps when the history holds `accountCount` accounts.
std::uint32_t recordsPerAccount(std::size_t accountCount);

class AccountHistory {
  public:
    using Records = std::deque<HistoryRecord>;

    // The account's records, oldest first; empty when it has none.
    const Records& recordsOf(std::uint32_t accountId) const;
    std::size_t accountCount() const { return accounts_.size(); }
    std::size_t recordCount() const;

    // Begins recording one accepted update whose request named `accountIds`: forgets the
    // accounts not named (removed from the list), and drops records older than the age bound
    // (each account keeps its newest) and those beyond the bound per account.
    void startUpdate(const std::vector<std::uint32_t>& accountIds, std::uint32_t now);
    // Appends the values of an opened row unless they equal the account's last record, then
    // drops its oldest records beyond the bound. An unopened row records nothing. True when a
    // record was added.
    bool record(std::uint32_t accountId, const RowStatus& status, std::uint32_t now);

    // The newest record of a copy other than the row's latest one: what the anomaly rules
    // compare the row with. Unknown for an unopened row or a first copy.
    PreviousCopy previousCopyOf(std::uint32_t accountId, const RowStatus& status) const;

    // Puts the account's records in as read, oldest first (for loading).
    void restore(std::uint32_t accountId, Records records);
    const std::unordered_map<std::uint32_t, Records>& accounts() const { return accounts_; }

  private:
    void trim(Records& records, std::uint32_t now) const;

    std::unordered_map<std::uint32_t, Records> accounts_;
    std::uint32_t perAccount_ = MAX_RECORDS_PER_ACCOUNT;
    std::vector<std::uint32_t> lastIds_; // of the last startUpdate
};

} // namespace kpv
