#pragma once
// The one seam between the client's commands and the window system. The Win32 shell implements
// it; tests use a scripted fake. Every command talks to the user only through it; the status
// reply handler sees only its StatusView part.
//
// Account names and file paths are bytes in the Windows ANSI code page, as they are stored in
// the files, and pass through unchanged.
#include "core/secure_buffer.h"
#include "status/status_view.h"

#include <cstdint>

namespace kpv {

class UserInterface : public StatusView {
  public:
    // File dialogs. True when the user chose a file: `path` then holds the full path as a
    // zero-terminated ANSI text. False when cancelled or failed: `path` is unchanged.
    virtual bool chooseLogFile(SecureBuffer& path) = 0;
    virtual bool chooseUserListToOpen(SecureBuffer& path) = 0;
    virtual bool chooseUserListToSave(SecureBuffer& path, const char* initialUtf8Name) = 0;

    // The name dialog, modal over the main window: it starts with pendingName() as its text
    // and, after "OK", leaves the entered bytes (no zero byte) in pendingName(). Returns 1
    // after "OK", 0 after "Avbryt" or the close box.
    virtual int showNameDialog() = 0;

    // The item data of the first selected row, if a row is selected.
    virtual bool selectedAccountId(std::uint32_t& accountId) = 0;

    // Shows the main window in its normal state and brings it to the front.
    virtual void showMainWindow() = 0;

    // One update of the list, which blocks the window while it talks to the server. Every
    // updateStarting is followed by exactly one updateFinished, whatever the outcome; updates
    // nest only when one starts inside a message box of another. manual: the user asked.
    virtual void updateStarting(bool manual) = 0;
    // exchangeRan: false when no exchange was attempted (no accounts, or the request refused).
    virtual void updateFinished(bool exchangeRan) = 0;
};

} // namespace kpv
