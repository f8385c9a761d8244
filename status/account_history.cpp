#include "status/account_history.h"

#include <algorithm>
#include <unordered_set>
#include <utility>

namespace kpv {

bool HistoryRecord::sameValues(const HistoryRecord& other) const {
    return lastCopyTime == other.lastCopyTime && fileCount == other.fileCount &&
           totalSize == other.totalSize && excludedCount == other.excludedCount &&
           copiesMade == other.copiesMade && storedCopies == other.storedCopies &&
           diskSpace == other.diskSpace;
}

HistoryRecord historyRecordOf(const RowStatus& status, std::uint32_t timeSeen) {
    HistoryRecord record;
    record.timeSeen = timeSeen;
    record.lastCopyTime = status.lastCopyTime;
    record.fileCount = status.fileCount;
    record.totalSize = status.totalSize;
    record.excludedCount = status.excludedCount;
    record.copiesMade = status.copiesMade;
    record.storedCopies = status.storedCopies;
    record.diskSpace = status.diskSpace;
    return record;
}

std::uint32_t recordsPerAccount(std::size_t accountCount) {
    constexpr std::uint32_t FEWEST = 2; // the previous copy and the latest one
    if (accountCount <= MAX_HISTORY_RECORDS / MAX_RECORDS_PER_ACCOUNT)
        return MAX_RECORDS_PER_ACCOUNT;
    const auto share = static_cast<std::uint32_t>(MAX_HISTORY_RECORDS / accountCount);
    return std::max(share, FEWEST);
}

const AccountHistory::Records& AccountHistory::recordsOf(std::uint32_t accountId) const {
    static const Records NONE;
    const auto found = accounts_.find(accountId);
    return found != accounts_.end() ? found->second : NONE;
}

std::size_t AccountHistory::recordCount() const {
    std::size_t count = 0;
    for (const auto& entry : accounts_)
        count += entry.second.size();
    return count;
}

void AccountHistory::trim(Records& records, std::uint32_t now) const {
    while (records.size() > perAccount_)
        records.pop_front();
    const std::uint32_t oldest = now > MAX_HISTORY_AGE_SECONDS ? now - MAX_HISTORY_AGE_SECONDS : 0;
    while (records.size() > 1 && records.front().timeSeen < oldest)
        records.pop_front();
}

void AccountHistory::startUpdate(const std::vector<std::uint32_t>& accountIds, std::uint32_t now) {
    // The list rarely changes between updates: then there is nothing to forget.
    if (accountIds != lastIds_) {
        const std::unordered_set<std::uint32_t> named(accountIds.begin(), accountIds.end());
        for (auto it = accounts_.begin(); it != accounts_.end();) {
            if (named.count(it->first) == 0)
                it = accounts_.erase(it);
            else
                ++it;
        }
        perAccount_ = recordsPerAccount(named.size());
        lastIds_ = accountIds;
    }
    for (auto& entry : accounts_)
        trim(entry.second, now);
}

bool AccountHistory::record(std::uint32_t accountId, const RowStatus& status, std::uint32_t now) {
    if (!status.opened)
        return false;
    const HistoryRecord next = historyRecordOf(status, now);
    Records& records = accounts_[accountId];
    if (!records.empty() && records.back().sameValues(next))
        return false;
    records.push_back(next);
    trim(records, now);
    return true;
}

PreviousCopy AccountHistory::previousCopyOf(std::uint32_t accountId,
                                            const RowStatus& status) const {
    PreviousCopy previous;
    if (!status.opened)
        return previous;
    const Records& records = recordsOf(accountId);
    for (auto it = records.rbegin(); it != records.rend(); ++it) {
        if (it->lastCopyTime == status.lastCopyTime)
            continue;
        previous.known = true;
        previous.lastCopyTime = it->lastCopyTime;
        previous.fileCount = it->fileCount;
        previous.totalSize = it->totalSize;
        previous.storedCopies = it->storedCopies;
        break;
    }
    return previous;
}

void AccountHistory::restore(std::uint32_t accountId, Records records) {
    Records& into = accounts_[accountId];
    for (HistoryRecord& record : records)
        into.push_back(record);
    while (into.size() > MAX_RECORDS_PER_ACCOUNT)
        into.pop_front();
}

} // namespace kpv
