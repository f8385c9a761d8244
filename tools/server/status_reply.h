#pragma once
// The status reply frame: the header (type 13) and a body of one blob, the status list, which
// holds per requested id, in request order: the sealed status blob, the tag blob, then the u32
// values disk space (upper half), disk space (lower half), stored copies and copy runs made.
#include "core/secure_buffer.h"
#include "tools/server/accounts_file.h"
#include "tools/server/faults.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kpv::tools {

struct StatusReply {
    SecureBuffer frame;
    // The faults that apply to this reply: those of the run and those of every requested
    // account. Only the ones that change the frame (wrong-type, bad-tag) are already in it;
    // the sender carries out the rest.
    FaultSet faults;
    // One word per requested id for the log: sealed, bad-tag, no-status, unsealable, unknown.
    std::string summary;
};

// Ids the server does not know, accounts without a status and accounts whose key material
// cannot be sealed for (not 16, 24 or 32 bytes) get an empty sealed blob, an empty tag and
// zeros. Every sealed status gets a fresh initialisation vector.
StatusReply buildStatusReply(const std::vector<std::uint32_t>& ids,
                             const AccountDirectory& accounts, FaultSet runFaults);

} // namespace kpv::tools
