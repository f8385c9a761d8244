#pragma once
// Whole files that may hold secrets: read into a wiping buffer, written so that a reader never
// sees a half-written file.
#include "core/secure_buffer.h"

#include <string>

namespace kpv::tools {

// The whole file in `out` (its old content wiped). False, with `out` empty, when it cannot be
// read or exceeds `limit` bytes.
bool readWholeFile(const std::string& path, SecureBuffer& out, std::uint32_t limit = 0x1000000);

// The same, where "-" stands for standard input (read to its end).
bool readWholeInput(const std::string& path, SecureBuffer& out, std::uint32_t limit = 0x1000000);

// Writes `bytes` as `path` with the client's durable replacement (core/data_file.h): a unique
// temporary beside it, created exclusively and owner-only without following links, synced,
// renamed over `path`, the folder synced. False on any failure, with `path` untouched, no
// other file touched and the temporary removed.
bool writeFileAtomically(const std::string& path, const SecureBuffer& bytes);

} // namespace kpv::tools
