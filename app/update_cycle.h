#pragma once
// The one road to the server: empties the list and the excluded lists, asks the server for
// the status of every account in account_list.bin, and lets the reply refill them.
#include "app/client.h"

namespace kpv {

// automatic: true for the ten-minute timer (failures stay silent, the outdated check
// follows), false for everything the user started. Blocks for the whole exchange.
void updateStatus(Client& client, bool automatic);

} // namespace kpv
