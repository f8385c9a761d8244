#pragma once
// Adding, removing and renaming accounts. Each command loads account_list.bin afresh, saves it
// whole when it changed something, and then refreshes the window with a manual update. A list
// locked by policy refuses all three with one message before anything else.
#include "app/client.h"

#include <cstdint>

namespace kpv {

// "Lägg till konto...": a remote log file (*.rlf) and a name from the name dialog.
void addAccount(Client& client);

// "Ta bort markerat konto" / "Ta bort från listan": asks, then removes the selected account.
void removeSelectedAccount(Client& client);
// True when the account was found, taken out and the list saved.
bool removeAccount(std::uint32_t accountId);

// "Byt namn...": the name dialog, filled with the current name.
void renameSelectedAccount(Client& client);
// True when renamed and saved, or when the user cancelled; false when the account was not
// found or the list could not be saved.
bool renameAccount(Client& client, std::uint32_t accountId);

} // namespace kpv
