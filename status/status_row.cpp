#include "status/status_row.h"

#include "status/column_text.h"
#include "status/management_act.h"

namespace kpv {

void insertStatusRow(ManagementAct& action, const StatusRow& row) {
    SecureBuffer texts[STATUS_COLUMN_COUNT];
    texts[0] = row.name;
    texts[0].appendZeros(1); // a stored name always shows, with or without its own zero byte
    texts[1] = formatDateTime(row.lastCopyTime);
    texts[2] = formatDecimal(row.fileCount);
    texts[3] = formatSize(row.totalSize);
    texts[4] = formatDecimal(row.excludedCount);
    texts[5] = formatDecimal(row.copiesMade);
    texts[6] = formatDecimal(row.storedCopies);
    texts[7] = formatSize(row.diskSpace);
    action.ui.insertRow(row.accountId, texts, RowStatus{row.opened, row.lastCopyTime});
}

} // namespace kpv
