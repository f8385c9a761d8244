#pragma once
// Changes to the server's accounts file (format in tools/server/accounts_file.h) made by the
// key-file tool, and the user list drawn from it.
#include "core/secure_buffer.h"
#include "core/wiping_json.h"
#include "tools/keytool/key_files.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kpv::tools {

struct AccountEdit {
    std::uint32_t id = 0;
    SecureBuffer secret;    // becomes "key"
    SecureBuffer clientKey; // becomes "clientKey" when setClientKey
    bool setClientKey = false;
    WipingJson name;   // a text to set, or null to keep
    WipingJson status; // an object to set, or null to keep (see removeStatus)
    bool removeStatus = false;
    WipingJson faults; // an array to set, or null to keep
};

// Adds the account, or updates the entry with its id, in the accounts file at `path`; a missing
// file starts as an empty list. The result must still load as an accounts file, and is written
// atomically with owner-only permissions. False with a one-line reason in `error`, the file
// then unchanged.
bool updateAccountsFile(const std::string& path, const AccountEdit& edit, std::string& error);

// The "key" of account `id` in the accounts file. False with a reason when the file, the
// account or a valid key is missing.
bool secretFromAccountsFile(const std::string& path, std::uint32_t id, SecureBuffer& secret,
                            std::string& error);

// One user-list entry per account of the accounts file, in file order: its "clientKey" when it
// has one, else its "key"; its "name" in Windows-1252, or its id in decimal when it has none.
bool userListFromAccountsFile(const std::string& path, std::vector<UserListEntry>& out,
                              std::string& error);

} // namespace kpv::tools
