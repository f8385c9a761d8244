#pragma once
// account_list.bin: the only lasting home of the account list, in the working folder.
// Content: u32 count N, then N records of u32 id, blob key material, blob name.
#include "accounts/account_lists.h"
#include "core/record_stream.h"

namespace kpv {

inline constexpr const char* ACCOUNT_LIST_FILE = "account_list.bin";

// Accounts invented for records that lie wholly past the end of a damaged file stop once the
// list holds this many accounts, so a corrupt count cannot run for billions of rounds.
inline constexpr std::uint32_t MAX_PLACEHOLDER_FILL = 65535;

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
