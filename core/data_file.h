#pragma once
// Whole data files by name, in the working folder (the current directory).
#include "core/record_stream.h"

namespace kpv {

// Opens `name` with "rb" and loads it into `stream`. False when the file cannot be opened or
// does not load; `stream` is then unchanged.
bool loadDataFile(const char* name, RecordStream& stream);

// Opens `name` with "wb" (creating or emptying it) and saves `stream`. False when the file
// cannot be opened or the save fails.
bool saveDataFile(const char* name, RecordStream& stream);

// Saves `stream` as `name` so that neither a failed write nor a crash can leave `name` short
// or empty: the envelope goes to `name`.tmp, reaches the disk, and only then replaces `name`.
// On failure `name` keeps its previous content.
bool saveDataFileDurably(const char* name, RecordStream& stream);

// Platform side: flushes `temporary` to stable storage, then atomically puts it in place of
// `target` (replacing an existing file). False, with `target` untouched, on any failure.
bool commitReplacement(const char* temporary, const char* target);

} // namespace kpv
