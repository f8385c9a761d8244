#pragma once
// The one seam between the client's logic and the window system. The Win32 shell implements
// it; tests use a scripted fake. Every command and handler talks to the user only through it.
//
// Fixed texts (messages, titles) are UTF-8 in the source and are converted by the
// implementation. Account names and file paths are bytes in the Windows ANSI code page, as
// they are stored in the files, and pass through unchanged.
#include "core/secure_buffer.h"

#include <cstdint>

namespace kpv {

// Every message box has the caption "Kopiavakt" and is owned by the main window.
enum class MessageKind {
    Error,        // OK button, no icon
    Question,     // Yes and No buttons, warning icon
    ExitQuestion, // Yes and No buttons, no icon
};

enum class Answer { Ok, Yes, No };

inline constexpr int STATUS_COLUMN_COUNT = 8;

// What the shell needs to mark a row that wants attention: whether the account's status could
// be opened and, when it could, the time of its latest copy (seconds since 1970-01-01 UTC).
struct RowStatus {
    bool opened = false;
    std::uint32_t lastCopyTime = 0;
};

class UserInterface {
  public:
    virtual ~UserInterface() = default;

    // Shows a modal message box; returns when the user has closed it.
    virtual Answer showMessage(const char* utf8Text, MessageKind kind) = 0;

    // File dialogs. True when the user chose a file: `path` then holds the full path as a
    // zero-terminated ANSI text. False when cancelled or failed: `path` is unchanged.
    virtual bool chooseLogFile(SecureBuffer& path) = 0;
    virtual bool chooseUserListToOpen(SecureBuffer& path) = 0;
    virtual bool chooseUserListToSave(SecureBuffer& path, const char* initialUtf8Name) = 0;

    // The name dialog, modal over the main window: it starts with pendingName() as its text
    // and, after "OK", leaves the entered bytes (no zero byte) in pendingName(). Returns 1
    // after "OK", 0 after "Avbryt" or the close box.
    virtual int showNameDialog() = 0;

    // The account list view: rows are kept sorted by name by the view itself.
    virtual void clearRows() = 0;
    // `texts` holds the eight zero-terminated column texts, name first; a text that does not
    // end in a zero byte is shown as no text. `status` only decides how the row is marked.
    virtual void insertRow(std::uint32_t accountId, const SecureBuffer* texts,
                           const RowStatus& status) = 0;
    // The item data of the first selected row, if a row is selected.
    virtual bool selectedAccountId(std::uint32_t& accountId) = 0;

    // Shows the main window in its normal state and brings it to the front.
    virtual void showMainWindow() = 0;

    // One update of the list, which blocks the window while it talks to the server. Every
    // updateStarting is followed by exactly one updateFinished, whatever the outcome; updates
    // nest only when one starts inside a message box of another. manual: the user asked.
    virtual void updateStarting(bool manual) = 0;
    // The update's exchange with the server failed (also for the timer, which shows no box).
    virtual void exchangeFailed() = 0;
    // exchangeRan: false when no exchange was attempted (no accounts, or the request refused).
    virtual void updateFinished(bool exchangeRan) = 0;
};

} // namespace kpv
