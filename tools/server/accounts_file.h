#pragma once
// The server's accounts file: a JSON object whose "accounts" array holds, per account,
//
//   "id"        the account id (0 to 4294967295), unique in the file
//   "key"       the key material the server seals with, in hexadecimal
//   "name"      optional display name (UTF-8); only kpv-keytool reads it
//   "clientKey" optional hexadecimal key material for the client's user list, when it is meant
//               to differ from "key" (an account whose status cannot be opened); only
//               kpv-keytool reads it
//   "status"    optional (absent or null: the server knows no status and sends empty blobs):
//                 "lastCopyTime" absolute seconds since 1970 (u32), or
//                 "ageSeconds"   seconds before the moment of the request (exactly one of both)
//                 "fileCount", "storedCopies", "copiesMade"   u32, 0 when absent
//                 "totalSize", "diskSpace"                    bytes (u64), 0 when absent
//                 "excludedFiles"  array of names (UTF-8, sent in Windows-1252)
//   "faults"    optional array of fault names (see faults.h) that apply when this account is
//               asked for
//
// Unknown members are refused, so that a misspelt field is not silently ignored.
#include "core/secure_buffer.h"
#include "tools/server/faults.h"
#include "tools/server/status_record.h"

#include <cstdint>
#include <map>
#include <string>

namespace kpv::tools {

struct ServerAccount {
    SecureBuffer secret; // key material, any length (only 16, 24 or 32 bytes can be sealed for)
    bool hasStatus = false;
    AccountStatus status; // lastCopyTime already resolved from an age
    FaultSet faults;
};

using AccountDirectory = std::map<std::uint32_t, ServerAccount>;

// Parses the text of an accounts file; `now` (seconds since 1970) turns ages into times, and a
// time before 1970 or beyond the u32 range is clamped. False with a one-line reason in `error`
// and `out` cleared when the text is not a valid accounts file.
bool parseAccounts(const SecureBuffer& text, std::uint64_t now, AccountDirectory& out,
                   std::string& error);

// The same for a file by path; a file that cannot be read is an error too.
bool loadAccountsFile(const std::string& path, std::uint64_t now, AccountDirectory& out,
                      std::string& error);

} // namespace kpv::tools
