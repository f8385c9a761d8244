#pragma once
// The status request: one frame of type 12 naming the accounts by id, in list order. The client
// and kopiavakt-check send exactly these bytes.
#include "accounts/account_lists.h"
#include "core/record_stream.h"

#include <cstdint>

namespace kpv {

// The request's count field has 16 bits; a longer list cannot be asked for in one request.
inline constexpr std::uint32_t MAX_REQUEST_ACCOUNTS = 0xFFFF;

// The whole frame: header (type 12, parameters 0 and 1), the u16 count and the ids as one blob;
// 20 + 4 x N bytes. `ids` must hold 1 to MAX_REQUEST_ACCOUNTS entries (a programmer error
// otherwise; callers check first).
RecordStream buildStatusRequest(const AccountIdList& ids);

} // namespace kpv
