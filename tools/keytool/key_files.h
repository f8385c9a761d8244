#pragma once
// The two files through which key material reaches the client, byte for byte as the client
// reads them. Both are in the data-file envelope: a u32 content length, then the content;
// integers little-endian.
#include "core/secure_buffer.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kpv::tools {

// Remote log file (*.rlf): content u16 format tag 0, u32 account id, blob key material.
SecureBuffer encodeRemoteLogFile(std::uint32_t id, const SecureBuffer& secret);

struct UserListEntry {
    std::uint32_t id = 0;
    SecureBuffer secret;
    SecureBuffer name; // Windows-1252 bytes without the terminating zero byte
};

// Longest name the client keeps (bytes, without the zero byte).
inline constexpr std::uint32_t MAX_NAME_BYTES = 1023;

// True when the client would keep `name` as it is: at most MAX_NAME_BYTES bytes, none below
// 0x20 and none equal to 0x7F.
bool isStorableName(const SecureBuffer& name);

// User list (*.ulf), the same format as the client's account_list.bin: content u32 count N,
// then per account u32 id, blob key material, blob name with its terminating zero byte.
SecureBuffer encodeUserList(const std::vector<UserListEntry>& entries);

} // namespace kpv::tools
