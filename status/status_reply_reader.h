#pragma once
// Reading a status reply: the status list walked account by account in request order, each
// sealed status opened with the account's own keys. Shared by the client's ManagementAct and by
// kopiavakt-check; it writes no file and touches no user interface.
#include "accounts/account_lists.h"
#include "core/record_stream.h"
#include "core/secure_buffer.h"
#include "status/status_row.h"

#include <cstdint>
#include <functional>

namespace kpv {

// One account of the reply.
struct AccountStatus {
    // Name and id always; the other values stay 0 when the status did not open. `row.opened`
    // is true when the sealed status was there, its tag checked out and it decrypted.
    StatusRow row;
    // The excluded files as CR LF terminated lines and one final zero byte; empty when not
    // opened.
    SecureBuffer excludedText;
};

// True when `frame` is a complete frame of type 13 (a status reply).
bool isStatusReply(const SecureBuffer& frame);

// Walks the status list of `reply` (cursor at the body, offset 14) for `count` accounts whose
// ids, key material and names are element i of the three lists (each holds at least `count`
// entries), calling `visit` once per account in order. A status list cut short reads as empty,
// so every account then comes out unopened. The visitor may move values out of its argument.
void readStatusReply(RecordStream& reply, std::uint32_t count, const AccountIdList& accountIds,
                     const BufferList& accountKeys, const BufferList& accountNames,
                     const std::function<void(AccountStatus&)>& visit);

} // namespace kpv
