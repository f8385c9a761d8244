#include "app/account_commands.h"

#include "accounts/account_list_file.h"
#include "accounts/pending_name.h"
#include "accounts/remote_log_file.h"
#include "app/managed_accounts.h"
#include "app/update_cycle.h"

namespace kpv {
namespace {

struct AccountLists {
    AccountIdList ids;
    BufferList keys;
    BufferList names;

    AccountLists() { loadAccountList(ids, keys, names); }
    bool save() const { return saveAccountList(ids, keys, names); }
};

void showError(Client& client, const char* text) {
    client.ui.showMessage(text, MessageKind::Error);
}

} // namespace

void addAccount(Client& client) {
    if (refuseLockedAccounts(client))
        return;
    SecureBuffer path;
    if (!client.ui.chooseLogFile(path))
        return;
    RemoteLogAccount account;
    switch (loadRemoteLogFile(path, account)) {
    case RemoteLogResult::Unreadable:
        showError(client, "Fel: Kunde inte läsa filen.");
        return;
    case RemoteLogResult::BadFormat:
        showError(client, "Fel: Filen har felaktigt format.");
        return;
    case RemoteLogResult::Ok:
        break;
    }

    AccountLists lists;
    std::uint32_t existing = 0;
    if (lists.ids.find(account.accountId, existing)) {
        showError(client, "Fel: Detta kontot är redan tillagt i klienten.");
        return;
    }
    pendingName().release();
    if (client.ui.showNameDialog() == 0)
        return;
    lists.ids.append(account.accountId);
    lists.keys.appendCopy(account.keyMaterial);
    lists.names.append(pendingName().printableCopy());
    if (!lists.save()) {
        showError(client, "Fel vid import av filen.");
        return;
    }
    updateStatus(client, false);
}

void removeSelectedAccount(Client& client) {
    if (refuseLockedAccounts(client))
        return;
    std::uint32_t accountId = 0;
    if (!client.ui.selectedAccountId(accountId)) {
        showError(client, "Fel: Inget konto är markerat i listan.");
        return;
    }
    if (client.ui.showMessage("Vill du verkligen ta bort det markerade kontot från Kopiavakt?",
                              MessageKind::Question) != Answer::Yes)
        return;
    if (!removeAccount(accountId)) {
        showError(client, "Fel: kunte inte ta bort konto.");
        return;
    }
    updateStatus(client, false);
}

bool removeAccount(std::uint32_t accountId) {
    AccountLists lists;
    std::uint32_t i = 0;
    if (!lists.ids.find(accountId, i))
        return false;
    lists.ids.removeAt(i);
    lists.keys.removeAt(i);
    lists.names.removeAt(i);
    return lists.save();
}

void renameSelectedAccount(Client& client) {
    if (refuseLockedAccounts(client))
        return;
    std::uint32_t accountId = 0;
    if (!client.ui.selectedAccountId(accountId))
        return;
    if (!renameAccount(client, accountId))
        showError(client, "Fel: Kunde inte byta namn på kontot.");
}

bool renameAccount(Client& client, std::uint32_t accountId) {
    AccountLists lists;
    std::uint32_t i = 0;
    if (!lists.ids.find(accountId, i))
        return false;
    pendingName() = lists.names[i];
    if (client.ui.showNameDialog() == 0)
        return true;
    lists.names.replaceAt(i, pendingName().printableCopy());
    if (!lists.save())
        return false;
    updateStatus(client, false);
    return true;
}

} // namespace kpv
