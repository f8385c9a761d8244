#pragma once
// Remote log files (*.rlf), which bring an account's id and key material from outside:
// the data-file envelope around a u16 format tag (0), a u32 account id and a key blob.
#include "core/record_stream.h"
#include "core/secure_buffer.h"

#include <cstdint>

namespace kpv {

enum class RemoteLogResult { Ok, Unreadable, BadFormat };

struct RemoteLogAccount {
    std::uint32_t accountId = 0;
    SecureBuffer keyMaterial; // taken as it stands; its length is not checked here
};

// Reads a loaded file content (cursor at 0). Fields cut short read as 0 or empty.
RemoteLogResult readRemoteLog(RecordStream& content, RemoteLogAccount& account);

// Opens and reads the file at `path` (a zero-terminated ANSI path).
RemoteLogResult loadRemoteLogFile(const SecureBuffer& path, RemoteLogAccount& account);

} // namespace kpv
