#pragma once
// history.bin: the account history in the data-file envelope. Read leniently, so that a
// damaged tail costs only the records from the damage on: every record carries its own
// check, and a file shorter than its declared length still gives the records before the cut.
#include "core/record_stream.h"
#include "status/account_history.h"

namespace kpv {

// The content: u16 format version (1), then 48-byte records grouped by account (ids
// ascending), each account's oldest first: u32 id, u32 time seen, u32 latest copy, u32 files,
// u32 size high, u32 size low, u32 excluded, u32 copies made, u32 stored copies, u32 disk
// high, u32 disk low, u32 FNV-1a of the 44 bytes before it.
void writeHistory(const AccountHistory& history, RecordStream& content);
// Reads what writeHistory wrote, up to the first record that is cut short or fails its check
// (that record and all after it are dropped) and at most MAX_HISTORY_RECORDS records. Another
// version reads as an empty history.
AccountHistory readHistory(RecordStream& content);

// The history in `path`; empty when it is missing or holds nothing readable.
AccountHistory loadHistory(const char* path = HISTORY_FILE);
// Replaces the file whole (core/data_file.h): on failure, a full disk included, the previous
// file stays as it was. False then.
bool saveHistory(const AccountHistory& history, const char* path = HISTORY_FILE);

} // namespace kpv
