#include "status/management_act.h"

#include "core/data_file.h"
#include "status/status_reply_reader.h"
#include "status/status_row.h"

#include <utility>

namespace kpv {

ManagementAct::ManagementAct(UserInterface& ui_, std::int32_t accountCount_,
                             const AccountIdList& accountIds_, const BufferList& accountKeys_,
                             BufferList accountNames_, AccountIdList* excludedIds_,
                             BufferList* excludedTexts_, bool quiet_)
    : ui(ui_), accountCount(accountCount_), accountIds(accountIds_), accountKeys(accountKeys_),
      accountNames(std::move(accountNames_)), excludedIds(excludedIds_),
      excludedTexts(excludedTexts_), quiet(quiet_) {}

bool ManagementAct::handleReply(RecordStream& reply, RecordStream& /*next*/,
                                std::uint8_t& /*longIdle*/) {
    if (!isStatusReply(reply.contents))
        return true;

    ui.clearRows();
    const auto count = static_cast<std::uint32_t>(accountCount);
    RecordStream timeList;
    timeList.appendU16(count);
    readStatusReply(reply, count, accountIds, accountKeys, accountNames,
                    [&](AccountStatus& status) {
                        if (status.row.opened) {
                            excludedIds->append(status.row.accountId);
                            excludedTexts->append(std::move(status.excludedText));
                            timeList.appendU32(status.row.lastCopyTime);
                        }
                        insertStatusRow(*this, status.row);
                    });

    (void)saveDataFile(TIME_LIST_FILE, timeList); // a file that cannot be written is skipped
    return false;
}

void ManagementAct::onFailed(std::int32_t /*stage*/, std::int32_t /*error*/) {
    ui.exchangeFailed();
    if (!quiet)
        ui.showMessage("Fel: Fick ingen kontakt med servern.", MessageKind::Error);
}

} // namespace kpv
