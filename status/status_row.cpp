#include "status/status_row.h"

#include "status/column_text.h"
#include "status/status_view.h"

namespace kpv {

RowStatus rowStatusOf(const StatusRow& row) {
    RowStatus status;
    status.opened = row.opened;
    status.lastCopyTime = row.lastCopyTime;
    status.fileCount = row.fileCount;
    status.totalSize = row.totalSize;
    status.excludedCount = row.excludedCount;
    status.copiesMade = row.copiesMade;
    status.storedCopies = row.storedCopies;
    status.diskSpace = row.diskSpace;
    return status;
}

void insertStatusRow(StatusView& view, const StatusRow& row) {
    insertStatusRow(view, row, rowStatusOf(row));
}

void insertStatusRow(StatusView& view, const StatusRow& row, const RowStatus& status) {
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
    view.insertRow(row.accountId, texts, status);
}

} // namespace kpv
