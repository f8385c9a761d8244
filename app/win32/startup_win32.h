#pragma once
// The two steps of start-up that come before any window: the working folder and the
// single-instance lock.
#include "core/native_handle.h"

namespace kpv {

// Makes "<local application data>\KPV_wd" (not the roaming folder, and its default path, not a
// redirected one) and makes it the current directory, so that every data file is opened by
// its bare name. On failure shows why and ends the process with exit code 1: no return.
void enterWorkingFolder();

// Opens file_mutex with no sharing; the open handle, kept in `lock` until the process ends, is
// the lock. True for the first instance. False when another instance holds it (or the file
// cannot be created at all): the first instance's window, found through wnd.bin, is then
// shown and brought to the front, or "Fel: Kunde inte läsa global fönster-fil." is shown when
// wnd.bin cannot be read.
bool claimSingleInstance(UniqueNativeHandle& lock);

} // namespace kpv
