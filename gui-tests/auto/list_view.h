#pragma once
// Reading and selecting the rows of a list view that belongs to another process. The item
// record and its text buffer live in the owner's memory (RemoteBuffer); the texts come back
// as the list view keeps them, in UTF-16.
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace kpv::automation {

struct ListRow {
    LPARAM itemData = 0; // the client stores the account id here
    bool selected = false;
    int image = -1; // the row's image-list index, as the list or its owner answers
    std::vector<std::wstring> columns;
};

// Every row with every column, top to bottom; nothing when the owner's memory could not be
// used or the list view did not answer.
std::optional<std::vector<ListRow>> readRows(HWND listView);

// The column headers, left to right.
std::optional<std::vector<std::wstring>> readHeaders(HWND listView);

// Makes row index the selected and focused row (index -1 clears every selection).
bool selectRow(HWND listView, int index);

} // namespace kpv::automation
