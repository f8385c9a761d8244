#pragma once
// The part of the user interface that a status update writes to: the rows of the account list,
// the failure of the exchange and its message. The client's user-interface port
// (app/user_interface.h) extends it; fuzz targets and benchmarks implement only this.
//
// Fixed texts (messages) are UTF-8 in the source and are converted by the implementation.
// Account names are bytes in the Windows ANSI code page, as stored, and pass through unchanged.
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

// The values of the copy before the row's latest one, from the account's history: what the
// anomaly rules compare a new copy with. `known` is false for an account's first copy.
struct PreviousCopy {
    bool known = false;
    std::uint32_t lastCopyTime = 0;
    std::uint32_t fileCount = 0;
    std::uint64_t totalSize = 0; // bytes
    std::uint32_t storedCopies = 0;
};

// What the shell needs to mark a row that wants attention: whether the account's status could
// be opened and, when it could, the time of its latest copy (seconds since 1970-01-01 UTC) and
// the reply's other numbers (all 0 when not opened), with the previous copy to compare with.
struct RowStatus {
    bool opened = false;
    std::uint32_t lastCopyTime = 0;
    std::uint32_t fileCount = 0;
    std::uint64_t totalSize = 0; // bytes
    std::uint32_t excludedCount = 0;
    std::uint32_t copiesMade = 0;
    std::uint32_t storedCopies = 0;
    std::uint64_t diskSpace = 0; // bytes
    PreviousCopy previous = {};
};

class StatusView {
  public:
    virtual ~StatusView() = default;

    // Shows a modal message box; returns when the user has closed it.
    virtual Answer showMessage(const char* utf8Text, MessageKind kind) = 0;

    // The account list view: rows are kept sorted by name by the view itself.
    virtual void clearRows() = 0;
    // `texts` holds the eight zero-terminated column texts, name first; a text that does not
    // end in a zero byte is shown as no text. `status` only decides how the row is marked.
    virtual void insertRow(std::uint32_t accountId, const SecureBuffer* texts,
                           const RowStatus& status) = 0;

    // The update's exchange with the server failed (also for the timer, which shows no box).
    virtual void exchangeFailed() = 0;
};

} // namespace kpv
