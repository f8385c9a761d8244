#pragma once
// The client's one alarm: warns when the latest copy of any account is older than the period
// chosen in the settings (3 days by default), or the one a policy fixes.
#include "app/client.h"
#include "status/account_state.h"

#include <cstdint>

namespace kpv {

// Reads settings.bin and time_list.bin afresh; at the first outdated account brings the main
// window to the front and shows the warning. At most one warning box is open at a time.
void checkOutdated(Client& client);

} // namespace kpv
