#include "app/managed_accounts.h"

#include "accounts/account_list_file.h"
#include "core/data_file.h"
#include "core/file_handle.h"

namespace kpv {

bool refuseLockedAccounts(Client& client) {
    if (!client.policy.accountsLocked)
        return false;
    client.ui.showMessage(ACCOUNTS_LOCKED_TEXT, MessageKind::Error);
    return true;
}

bool importPresetUserList(Client& client, const char* path) {
    // Any account_list.bin, even one that does not load, is the user's own: never replaced.
    if (FileHandle::openForReading(ACCOUNT_LIST_FILE).isOpen())
        return false;
    RecordStream list;
    if (!loadDataFile(path, list) || !saveDataFile(ACCOUNT_LIST_FILE, list)) {
        client.ui.showMessage(PRESET_LIST_ERROR, MessageKind::Error);
        return false;
    }
    return true;
}

} // namespace kpv
