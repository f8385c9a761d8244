#pragma once
// The history window's chart: an account's total size and file count over the time seen, with
// the copies that raised an anomaly rule marked, drawn with GDI into the chart control.
#include "status/account_history.h"

#include <windows.h>

#include <vector>

namespace kpv {

// Draws into `area` of `dc` with the font selected in it. `raised` holds each record's rule
// bits (raisedRulesOfRecords). Lines, markers and gaps scale with `dpi` (96 = 100 %).
void drawHistoryChart(HDC dc, const RECT& area, const AccountHistory::Records& records,
                      const std::vector<unsigned>& raised, int dpi);

} // namespace kpv
