#pragma once
// The client's one alarm: warns when the latest copy of any account is older than the period
// chosen in the settings (3 days by default).
#include "app/client.h"

#include <cstdint>

namespace kpv {

// The one rule for "outdated": more than the period (seconds) lies between the latest copy
// (seconds since 1970-01-01 UTC) and now. Exactly the period is not outdated, nor is a copy
// whose time lies in the future.
bool isOutdated(std::uint32_t lastCopyTime, std::int64_t now, std::uint32_t periodSeconds);

// Reads settings.bin and time_list.bin afresh; at the first outdated account brings the main
// window to the front and shows the warning. At most one warning box is open at a time.
void checkOutdated(Client& client);

} // namespace kpv
