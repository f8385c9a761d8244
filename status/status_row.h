#pragma once
// One row of the account list view and how its columns are written.
#include "core/secure_buffer.h"
#include "status/status_view.h"

#include <cstdint>

namespace kpv {

// For an account whose status did not open every value but the name and the id is 0.
struct StatusRow {
    SecureBuffer name; // zero-terminated, in the ANSI code page
    std::uint32_t accountId = 0;
    std::uint32_t lastCopyTime = 0;
    std::uint32_t fileCount = 0;
    std::uint64_t totalSize = 0;
    std::uint32_t excludedCount = 0;
    std::uint32_t copiesMade = 0;
    std::uint32_t storedCopies = 0;
    std::uint64_t diskSpace = 0;
    bool opened = false; // the sealed status opened; only the row's mark depends on it
};

// The row's opened flag and values as the judgement sees them (no previous copy yet).
RowStatus rowStatusOf(const StatusRow& row);

// Adds the row to the view's list, the account id as its item data, with `status` for its
// mark (rowStatusOf(row) unless a previous copy is known).
void insertStatusRow(StatusView& view, const StatusRow& row);
void insertStatusRow(StatusView& view, const StatusRow& row, const RowStatus& status);

} // namespace kpv
