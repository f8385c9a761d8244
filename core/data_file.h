#pragma once
// Whole data files by name, in the working folder (the current directory) unless the name
// holds a folder. Files are read and written through the platform's own handles, so the bytes
// pass through no buffer but the stream's own wiping one.
#include "core/record_stream.h"

#include <cstdint>

namespace kpv {

// Loads the file `name` into `stream`. False when the file cannot be opened or does not
// load; `stream` is then unchanged.
bool loadDataFile(const char* name, RecordStream& stream);

// Saves `stream` as `name` so that neither a failed write nor a crash can leave `name` short
// or empty: the envelope goes to a new temporary file in the same folder (a unique name no
// longer than `name`'s own, created exclusively, so no other file is ever touched), reaches
// the disk, and only then replaces `name`. On failure `name` keeps its previous content and
// the temporary is gone.
bool saveDataFile(const char* name, RecordStream& stream);

// Writes the n bytes at `bytes` as the whole of `name`, with the same durable replacement as
// saveDataFile (no envelope): for files other programs read, such as the key tool's.
bool saveWholeFile(const char* name, const std::uint8_t* bytes, std::uint32_t n);

// True for a name that saveDataFile makes for its temporaries: '~' and 3 to 11 characters of
// [0-9a-z], no folder part.
bool isTemporaryName(const char* name);

// Wipes and removes what a save cut short by a crash or a power cut left in the working
// folder: only names of the temporaries' own pattern, only in the current directory. For the
// client's start-up, once no other instance can be saving. The number of files removed.
unsigned removeLeftTemporaries();

} // namespace kpv
