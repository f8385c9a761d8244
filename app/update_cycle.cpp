#include "app/update_cycle.h"

#include "accounts/account_list_file.h"
#include "app/outdated_check.h"
#include "app/rules_commands.h"
#include "net/server_connection.h"
#include "status/management_act.h"
#include "status/status_request.h"

#include <memory>
#include <utility>

namespace kpv {
namespace {

// Tells the user interface that an update runs and, on every way out, that it has ended.
class UpdateNotice {
  public:
    UpdateNotice(UserInterface& ui, bool manual) : ui_(ui) { ui_.updateStarting(manual); }
    UpdateNotice(const UpdateNotice&) = delete;
    UpdateNotice& operator=(const UpdateNotice&) = delete;
    ~UpdateNotice() { ui_.updateFinished(exchangeRan); }

    bool exchangeRan = false;

  private:
    UserInterface& ui_;
};

// Sends the request with the action and waits for the whole exchange; false when refused.
bool exchange(Client& client, const RecordStream& request, const AccountIdList& ids,
              const BufferList& keys, const BufferList& names, bool automatic,
              UpdateNotice& notice) {
    auto reply = std::make_unique<ManagementAct>(client.ui, static_cast<std::int32_t>(ids.length()),
                                                 ids, keys, names, &client.excludedIds,
                                                 &client.excludedTexts, automatic);
    reply->keepHistory(client.clock, client.lastReply);
    std::unique_ptr<SendAction> action = std::move(reply);
    if (!client.connection.queueAction(action, request))
        return false;
    notice.exchangeRan = true;
    (void)client.connection.runExchange(); // failures were reported by the action
    return true;
}

// Empties the list and asks the server to fill it again. False when there are no accounts, and
// so nothing to check. The update has ended when this returns: the outdated warning that may
// follow is not part of it.
bool refreshList(Client& client, bool automatic) {
    UpdateNotice notice(client.ui, !automatic);
    client.ui.clearRows();
    client.excludedIds.clear();
    client.excludedTexts.clear();

    AccountIdList ids;
    BufferList keys;
    BufferList names;
    loadAccountList(ids, keys, names);
    dropRulesOutside(ids);
    const std::uint32_t count = ids.length();
    if (count == 0)
        return false;
    if (count > MAX_REQUEST_ACCOUNTS) {
        if (!automatic)
            client.ui.showMessage("Fel: Listan har fler än 65535 konton och kan inte skickas "
                                  "till servern.",
                                  MessageKind::Error);
        return true;
    }
    const RecordStream request = buildStatusRequest(ids);

    if (!exchange(client, request, ids, keys, names, automatic, notice))
        client.ui.showMessage("Kunde inte skicka data till servern.", MessageKind::Error);
    return true;
}

} // namespace

void updateStatus(Client& client, bool automatic) {
    if (refreshList(client, automatic) && automatic)
        checkOutdated(client);
}

} // namespace kpv
