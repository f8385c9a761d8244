#pragma once
// The one exchange of a check: the client's own status request for the chosen accounts, sent
// through the client's connection code, and the reply opened with the client's own reader.
#include "accounts/account_lists.h"
#include "check/check_report.h"

#include <cstdint>
#include <string>

namespace kpv::check {

struct QueryTarget {
    std::string host; // a name to resolve or a dotted IPv4 address
    std::uint16_t port = 55502;
    std::uint32_t limitMilliseconds = 60000; // the whole exchange, connecting included
};

// Asks the server once for the status of the accounts (1 to 65535 of them; more is reported
// as an error). Appends one unjudged AccountResult per account to `report.accounts`, in list
// order, or sets `report.error` when no status reply came. Writes no file: the name is resolved
// here, so the client's address cache (last_ip.bin) is neither read nor written.
void queryStatuses(const QueryTarget& target, const AccountIdList& accountIds,
                   const BufferList& accountKeys, const BufferList& accountNames,
                   CheckReport& report);

} // namespace kpv::check
