#include "status/management_act.h"

#include "core/clock.h"
#include "core/data_file.h"
#include "status/history_file.h"
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
    AccountHistory history;
    std::uint32_t now = 0;
    bool historyChanged = false;
    if (historyClock_ != nullptr) {
        history = loadHistory();
        const std::int64_t clockNow = historyClock_->now();
        now = clockNow < 0                     ? 0
              : clockNow > INT64_C(0xFFFFFFFF) ? 0xFFFFFFFFu
                                               : std::uint32_t(clockNow);
        std::vector<std::uint32_t> ids;
        for (std::uint32_t i = 0; i < count; ++i)
            ids.push_back(accountIds_[i]);
        const std::size_t before = history.recordCount();
        history.startUpdate(ids, now);
        historyChanged = history.recordCount() != before;
        seen_->clear();
    }
    readStatusReply(reply, count, accountIds_, accountKeys_, accountNames_,
                    [&](AccountStatus& status) {
                        RowStatus rowStatus = rowStatusOf(status.row);
                        if (historyClock_ != nullptr) {
                            const std::uint32_t id = status.row.accountId;
                            historyChanged |= history.record(id, rowStatus, now);
                            rowStatus.previous = history.previousCopyOf(id, rowStatus);
                            seen_->push_back({id, rowStatus});
                        }
                        if (status.row.opened) {
                            excludedIds_->append(status.row.accountId);
                            excludedTexts_->append(std::move(status.excludedText));
                            timeList.appendU32(status.row.lastCopyTime);
                        }
                        insertStatusRow(view_, status.row, rowStatus);
                    });

    (void)saveDataFile(TIME_LIST_FILE, timeList); // a file that cannot be written is skipped
    if (historyChanged)
        (void)saveHistory(history); // likewise; the previous history stays as it was
    return false;
}

void ManagementAct::keepHistory(Clock& clock, std::vector<SeenAccount>& seen) {
    historyClock_ = &clock;
    seen_ = &seen;
}

void ManagementAct::onFailed(std::int32_t /*stage*/, std::int32_t /*error*/) {
    view_.exchangeFailed();
    if (!quiet_)
        view_.showMessage("Fel: Fick ingen kontakt med servern.", MessageKind::Error);
}

} // namespace kpv
