#pragma once
// What a managed deployment's policy does to the account list: a locked list refuses every
// change, and a preset user list fills the list of a user who has none yet.
#include "app/client.h"

namespace kpv {

inline constexpr const char* ACCOUNTS_LOCKED_TEXT = "Kontolistan är låst av administratören.";
inline constexpr const char* PRESET_LIST_ERROR =
    "Fel: Kunde inte läsa kontolistan som administratören har angett.";

// True, after telling the user so, when the policy locks the list: the caller then changes
// nothing. False (and nothing shown) otherwise.
bool refuseLockedAccounts(Client& client);

// At start-up, before the first update: when account_list.bin does not exist yet, imports the
// user list at `path` (in the file system's own encoding) as account_list.bin, without the
// import's question. A file that cannot be read or does not load shows PRESET_LIST_ERROR once
// and leaves the list empty (no account_list.bin, so the next start tries again). True when
// the list was imported.
bool importPresetUserList(Client& client, const char* path);

} // namespace kpv
