#include "status/history_table.h"

#include "core/calendar_time.h"
#include "status/account_state.h"

namespace kpv {

RowStatus rowStatusOf(const HistoryRecord& record) {
    RowStatus status;
    status.opened = true;
    status.lastCopyTime = record.lastCopyTime;
    status.fileCount = record.fileCount;
    status.totalSize = record.totalSize;
    status.excludedCount = record.excludedCount;
    status.copiesMade = record.copiesMade;
    status.storedCopies = record.storedCopies;
    status.diskSpace = record.diskSpace;
    return status;
}

std::vector<unsigned> raisedRulesOfRecords(const AccountHistory::Records& records,
                                           const AccountRules& rules) {
    std::vector<unsigned> raised(records.size(), 0);
    // The newest record of the copy before the current one, and the current copy's first.
    const HistoryRecord* previous = nullptr;
    const HistoryRecord* current = nullptr;
    for (std::size_t i = 0; i < records.size(); ++i) {
        const HistoryRecord& record = records[i];
        if (current != nullptr && record.lastCopyTime != current->lastCopyTime) {
            previous = &records[i - 1];
            current = &record;
        } else if (current == nullptr) {
            current = &record;
        } else {
            continue; // the same copy again: only a new copy raises a rule
        }
        if (previous == nullptr)
            continue;
        RowStatus status = rowStatusOf(record);
        status.previous.known = true;
        status.previous.lastCopyTime = previous->lastCopyTime;
        status.previous.fileCount = previous->fileCount;
        status.previous.totalSize = previous->totalSize;
        status.previous.storedCopies = previous->storedCopies;
        raised[i] = raisedRules(status, rules);
    }
    return raised;
}

std::string historyCsv(const AccountHistory::Records& records, const AccountRules& rules) {
    const std::vector<unsigned> raised = raisedRulesOfRecords(records, rules);
    std::string csv = HISTORY_CSV_HEADER;
    csv += "\r\n";
    for (std::size_t i = 0; i < records.size(); ++i) {
        const HistoryRecord& record = records[i];
        csv += isoUtcText(record.timeSeen).view();
        csv += ',';
        csv += isoUtcText(record.lastCopyTime).view();
        csv += ',' + std::to_string(record.fileCount) + ',' + std::to_string(record.totalSize) +
               ',' + std::to_string(record.excludedCount) + ',' +
               std::to_string(record.copiesMade) + ',' + std::to_string(record.storedCopies) + ',' +
               std::to_string(record.diskSpace) + ',';
        bool first = true;
        for (const AnomalyRule rule : ANOMALY_RULES) {
            if ((raised[i] & rule) == 0)
                continue;
            if (!first)
                csv += '+';
            csv += anomalyRuleName(rule);
            first = false;
        }
        csv += "\r\n";
    }
    return csv;
}

} // namespace kpv
