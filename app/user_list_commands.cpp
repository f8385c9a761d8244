#include "app/user_list_commands.h"

#include "accounts/account_list_file.h"
#include "app/managed_accounts.h"
#include "app/update_cycle.h"
#include "core/data_file.h"

namespace kpv {
namespace {

constexpr const char* LIST_ERROR = "Fel vid export av listan.";

} // namespace

SecureBuffer pathFromDialogBuffer(const SecureBuffer& buffer) {
    std::uint32_t end = 0;
    while (end < buffer.length() && buffer.data()[end] >= 0x20)
        ++end;
    SecureBuffer path = buffer.slice(0, end);
    path.appendZeros(1);
    path.makePrintable();
    return path;
}

void exportUserList(Client& client) {
    SecureBuffer path;
    if (!client.ui.chooseUserListToSave(path, "Användarlista.ulf"))
        return;
    RecordStream list;
    if (!loadDataFile(ACCOUNT_LIST_FILE, list) || !saveDataFile(path.text(), list))
        client.ui.showMessage(LIST_ERROR, MessageKind::Error);
}

void importUserList(Client& client) {
    if (refuseLockedAccounts(client))
        return;
    SecureBuffer path;
    if (!client.ui.chooseUserListToOpen(path))
        return;
    if (client.ui.showMessage("VARNING! De användare som lagras i programmet kommer att skrivas "
                              "över! Vill du fortsätta?",
                              MessageKind::Question) != Answer::Yes)
        return;
    // The list is replaced only after the chosen file was read whole, and never left short.
    RecordStream list;
    if (!loadDataFile(path.text(), list) || !saveDataFile(ACCOUNT_LIST_FILE, list)) {
        client.ui.showMessage(LIST_ERROR, MessageKind::Error);
        return;
    }
    client.ui.showMessage("Användarlistan importerad från fil!", MessageKind::Error);
    updateStatus(client, false);
}

} // namespace kpv
