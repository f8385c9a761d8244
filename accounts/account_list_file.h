#pragma once
// account_list.bin: the only lasting home of the account list, in the working folder.
// Content: u32 count N, then N records of u32 id, blob key material, blob name.
#include "accounts/account_lists.h"
#include "core/record_stream.h"

namespace kpv {

inline constexpr const char* ACCOUNT_LIST_FILE = "account_list.bin";

// A count the content cannot hold is a damaged file. Records that lie wholly past the end of
// the content still load as accounts with id 0, no key and the empty name (so a list cut short
// by a few records shows what is missing), but at most this many of them: few enough that the
// user can remove them one by one.
inline constexpr std::uint32_t MAX_PLACEHOLDER_FILL = 16;
// Nor do invented accounts take a list past this length, so that even after one more add the
// list still fits the status request (at most 65535 accounts).
inline constexpr std::uint32_t MAX_FILLED_LIST = 65534;

// Reads accounts from a loaded account-list content (cursor at 0) into three empty lists.
void readAccountList(RecordStream& content, AccountIdList& accountIds, BufferList& accountKeys,
                     BufferList& accountNames);
// The content of an account list, ready to be saved.
RecordStream writeAccountList(const AccountIdList& accountIds, const BufferList& accountKeys,
                              const BufferList& accountNames);

// Fills three empty lists from account_list.bin. A missing, unreadable or damaged file gives
// fewer accounts (often none) and no report.
void loadAccountList(AccountIdList& accountIds, BufferList& accountKeys, BufferList& accountNames);

// Replaces account_list.bin with the three lists. True when the file was written whole; on
// false the previous file is still in place, unchanged. The lists are not changed.
bool saveAccountList(const AccountIdList& accountIds, const BufferList& accountKeys,
                     const BufferList& accountNames);

} // namespace kpv
