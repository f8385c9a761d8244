#pragma once
// ManagementAct: the action of one status update. It carries copies of the three account lists
// into the exchange, turns the status reply into list rows, excluded-file texts and
// time_list.bin, and tells the user when the server could not be reached.
#include "accounts/account_lists.h"
#include "core/user_interface.h"
#include "net/send_action.h"

#include <cstdint>

namespace kpv {

inline constexpr const char* TIME_LIST_FILE = "time_list.bin";

class ManagementAct final : public SendAction {
  public:
    // Deep copies of the lists, which all hold `accountCount` entries in request order. The
    // excluded lists belong to the main window; the action only appends to them.
    ManagementAct(UserInterface& ui, std::int32_t accountCount, const AccountIdList& accountIds,
                  const BufferList& accountKeys, BufferList accountNames,
                  AccountIdList* excludedIds, BufferList* excludedTexts, bool quiet);

    // False when the reply was processed; true (nothing changed) when it is not a complete
    // status reply, so that the exchange keeps waiting.
    bool handleReply(RecordStream& reply, RecordStream& next, std::uint8_t& longIdle) override;
    // Tells the user interface, and shows "Fel: Fick ingen kontakt med servern." unless quiet.
    void onFailed(std::int32_t stage, std::int32_t error) override;

    UserInterface& ui;
    const std::int32_t accountCount;
    const AccountIdList accountIds;
    const BufferList accountKeys;
    const BufferList accountNames;
    AccountIdList* const excludedIds;
    BufferList* const excludedTexts;
    const bool quiet;
};

} // namespace kpv
