#include "status/management_act.h"

#include "core/data_file.h"
#include "status/status_reply_reader.h"
#include "status/status_row.h"

#include <utility>

namespace kpv {

ManagementAct::ManagementAct(StatusView& view, std::int32_t accountCount,
                             const AccountIdList& accountIds, const BufferList& accountKeys,
                             BufferList accountNames, AccountIdList* excludedIds,
                             BufferList* excludedTexts, bool quiet)
    : view_(view), accountCount_(accountCount), accountIds_(accountIds), accountKeys_(accountKeys),
      accountNames_(std::move(accountNames)), excludedIds_(excludedIds),
      excludedTexts_(excludedTexts), quiet_(quiet) {}

bool ManagementAct::handleReply(RecordStream& reply, RecordStream& /*next*/,
                                std::uint8_t& /*longIdle*/) {
    if (!isStatusReply(reply.contents))
        return true;

    view_.clearRows();
    const auto count = static_cast<std::uint32_t>(accountCount_);
    RecordStream timeList;
    timeList.appendU16(count);
    readStatusReply(reply, count, accountIds_, accountKeys_, accountNames_,
                    [&](AccountStatus& status) {
                        if (status.row.opened) {
                            excludedIds_->append(status.row.accountId);
                            excludedTexts_->append(std::move(status.excludedText));
                            timeList.appendU32(status.row.lastCopyTime);
                        }
                        insertStatusRow(view_, status.row);
                    });

    (void)saveDataFile(TIME_LIST_FILE, timeList); // a file that cannot be written is skipped
    return false;
}

void ManagementAct::onFailed(std::int32_t /*stage*/, std::int32_t /*error*/) {
    view_.exchangeFailed();
    if (!quiet_)
        view_.showMessage("Fel: Fick ingen kontakt med servern.", MessageKind::Error);
}

} // namespace kpv
