#pragma once
// Whole data files by name, in the working folder (the current directory) unless the name
// holds a folder. Files are read and written through the platform's own handles, so the bytes
// pass through no buffer but the stream's own wiping one.
#include "core/record_stream.h"

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

} // namespace kpv
