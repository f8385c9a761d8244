#pragma once
// An account's status as the server holds it, and the plaintext record that is sealed for it.
#include "core/secure_buffer.h"

#include <cstdint>
#include <vector>

namespace kpv::tools {

struct AccountStatus {
    std::uint32_t lastCopyTime = 0; // seconds since 1970-01-01 00:00 UTC
    std::uint32_t fileCount = 0;
    std::uint64_t totalSize = 0;             // bytes
    std::vector<SecureBuffer> excludedNames; // Windows-1252 bytes, no terminating byte
    // Sent in the clear beside the sealed record.
    std::uint64_t diskSpace = 0; // bytes
    std::uint32_t storedCopies = 0;
    std::uint32_t copiesMade = 0;
};

// The plaintext record: two bytes the client skips (0), then u32 lastCopyTime, fileCount,
// the upper and the lower half of totalSize, the excluded count E, and E blobs each holding a
// name followed by one zero byte. Little-endian throughout.
SecureBuffer encodeStatusRecord(const AccountStatus& status);

} // namespace kpv::tools
