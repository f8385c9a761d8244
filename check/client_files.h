#pragma once
// The client's files as kopiavakt-check reads them: by path, never written, and wherever they
// lie (the check does not change the current directory).
#include "accounts/account_lists.h"
#include "core/wiping_allocator.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kpv::check {

// The client's working folder (on Windows the local application-data folder followed by
// "\KPV_wd"), with a trailing separator. False where the client has none (Linux) or the
// folder cannot be found.
bool clientWorkingFolder(std::string& folder);

// Reads an account list (account_list.bin or a *.ulf) into three empty lists, exactly as the
// client loads its own. False with the reason when the file cannot be opened or does not load
// (its declared length disagrees with its size); a loaded file may still give placeholder
// accounts for records cut short, as it does in the client.
bool loadAccountListFile(const std::string& path, AccountIdList& accountIds,
                         BufferList& accountKeys, BufferList& accountNames, WipingString& error);

// Keeps only the accounts whose ids are in `wanted` (all of them when `wanted` is empty), in
// list order. False with the reason when a wanted id is not in the list: without its key
// material its status could never be opened.
bool selectAccounts(const std::vector<std::uint32_t>& wanted, AccountIdList& accountIds,
                    BufferList& accountKeys, BufferList& accountNames, WipingString& error);

} // namespace kpv::check
