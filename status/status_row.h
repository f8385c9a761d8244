#pragma once
// One row of the account list view and how its columns are written.
#include "core/secure_buffer.h"

#include <cstdint>

namespace kpv {

class ManagementAct;

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

// Adds the row to the action's list view, the account id as its item data.
void insertStatusRow(ManagementAct& action, const StatusRow& row);

} // namespace kpv
