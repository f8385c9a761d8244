#pragma once
// What the history window shows of one account: which records raised an anomaly rule, and the
// records as CSV for "Exportera CSV...".
#include "status/account_history.h"
#include "status/account_rules.h"

#include <string>
#include <vector>

namespace kpv {

// The row status a record stands for: opened, with the record's values.
RowStatus rowStatusOf(const HistoryRecord& record);

// For each record, the AnomalyRule bits it raised against the copy before it in the same
// records (the judgement's own rule; 0 for a first copy and for a copy already seen).
std::vector<unsigned> raisedRulesOfRecords(const AccountHistory::Records& records,
                                           const AccountRules& rules);

// UTF-8 text with CR LF line ends: the header line, then one line per record, oldest first.
// Times in ISO 8601 UTC, sizes in bytes, and the rules raised as their names joined by '+'.
std::string historyCsv(const AccountHistory::Records& records, const AccountRules& rules);

// The CSV's header line, without its line end.
inline constexpr const char* HISTORY_CSV_HEADER =
    "Sedd,Senaste kopiering,Antal filer,Total storlek,Antal uteslutna filer,"
    "Antal kopieringar utförda,Antal lagrade kopior,Diskutrymme,Avvikelse";

} // namespace kpv
