#pragma once
// ManagementAct: the action of one status update. It carries copies of the three account lists
// into the exchange, turns the status reply into list rows, excluded-file texts and
// time_list.bin, and tells the user when the server could not be reached.
#include "accounts/account_lists.h"
#include "net/send_action.h"
#include "status/status_view.h"

#include <cstdint>
#include <vector>

namespace kpv {

class Clock;

inline constexpr const char* TIME_LIST_FILE = "time_list.bin";

// One account of the last accepted reply, in request order, as the judgement sees it.
struct SeenAccount {
    std::uint32_t accountId = 0;
    RowStatus status;
};

class ManagementAct final : public SendAction {
  public:
    // Deep copies of the lists, which all hold `accountCount` entries in request order. The
    // excluded lists belong to the main window; the action only appends to them.
    ManagementAct(StatusView& view, std::int32_t accountCount, const AccountIdList& accountIds,
                  const BufferList& accountKeys, BufferList accountNames,
                  AccountIdList* excludedIds, BufferList* excludedTexts, bool quiet);

    // False when the reply was processed; true (nothing changed) when it is not a complete
    // status reply, so that the exchange keeps waiting.
    bool handleReply(RecordStream& reply, RecordStream& next, std::uint8_t& longIdle) override;
    // Tells the user interface, and shows "Fel: Fick ingen kontakt med servern." unless quiet.
    void onFailed(std::int32_t stage, std::int32_t error) override;

    // The client's own update also keeps the history: each accepted reply records its opened
    // statuses in history.bin (seen at the clock's time), gives every row its previous copy,
    // and replaces `seen` with the reply's accounts. Without this call none of that happens.
    void keepHistory(Clock& clock, std::vector<SeenAccount>& seen);

  private:
    StatusView& view_;
    const std::int32_t accountCount_;
    const AccountIdList accountIds_;
    const BufferList accountKeys_;
    const BufferList accountNames_;
    AccountIdList* const excludedIds_;
    BufferList* const excludedTexts_;
    const bool quiet_;
    Clock* historyClock_ = nullptr;
    std::vector<SeenAccount>* seen_ = nullptr;
};

} // namespace kpv
