#include "gui-tests/auto/list_view.h"

#include "gui-tests/auto/remote_memory.h"
#include "gui-tests/auto/window_finder.h"

#include <commctrl.h>

namespace kpv::automation {

namespace {

constexpr DWORD ANSWER_TIMEOUT_MS = 10000;
constexpr std::size_t TEXT_CHARS = 4096;
constexpr std::size_t TEXT_OFFSET = 1024; // room for the item record before the text

std::optional<int> columnCount(HWND listView) {
    const auto header = sendWithin(listView, LVM_GETHEADER, 0, 0, ANSWER_TIMEOUT_MS);
    if (!header || *header == 0)
        return std::nullopt;
    const auto count =
        sendWithin(reinterpret_cast<HWND>(*header), HDM_GETITEMCOUNT, 0, 0, ANSWER_TIMEOUT_MS);
    if (!count || *count < 0)
        return std::nullopt;
    return static_cast<int>(*count);
}

// A block in the list view's process for one item record and, after it, its text.
std::optional<RemoteBuffer> recordBuffer(HWND listView) {
    return RemoteBuffer::allocate(listView, TEXT_OFFSET + TEXT_CHARS * sizeof(wchar_t));
}

// Points the record's text at the block's text part, empties that text (so an owner that copies
// none leaves it empty) and writes the record to the start of the block.
template <typename Record>
bool writeRecord(RemoteBuffer& remote, Record& record) {
    record.pszText = reinterpret_cast<LPWSTR>(remote.at(TEXT_OFFSET));
    record.cchTextMax = static_cast<int>(TEXT_CHARS);
    const wchar_t empty = L'\0';
    return remote.write(TEXT_OFFSET, &empty, sizeof empty) &&
           remote.write(0, &record, sizeof record);
}

std::optional<std::wstring> readRemoteText(const RemoteBuffer& remote) {
    std::wstring text(TEXT_CHARS, L'\0');
    if (!remote.read(TEXT_OFFSET, text.data(), TEXT_CHARS * sizeof(wchar_t)))
        return std::nullopt;
    text.resize(text.find(L'\0') == std::wstring::npos ? TEXT_CHARS - 1 : text.find(L'\0'));
    return text;
}

} // namespace

std::optional<std::vector<ListRow>> readRows(HWND listView) {
    const auto columns = columnCount(listView);
    const auto count = sendWithin(listView, LVM_GETITEMCOUNT, 0, 0, ANSWER_TIMEOUT_MS);
    if (!columns || !count || *count < 0)
        return std::nullopt;
    auto remote = recordBuffer(listView);
    if (!remote)
        return std::nullopt;

    std::vector<ListRow> rows;
    for (int row = 0; row < *count; ++row) {
        ListRow entry;
        for (int column = 0; column < *columns; ++column) {
            LVITEMW item{};
            item.mask = LVIF_TEXT | (column == 0 ? LVIF_PARAM | LVIF_STATE | LVIF_IMAGE : 0u);
            item.iItem = row;
            item.iSubItem = column;
            item.stateMask = LVIS_SELECTED;
            if (!writeRecord(*remote, item))
                return std::nullopt;
            const auto ok = sendWithin(listView, LVM_GETITEMW, 0, remote->at(0), ANSWER_TIMEOUT_MS);
            if (!ok)
                return std::nullopt;
            LVITEMW answer{};
            if (!remote->read(0, &answer, sizeof answer))
                return std::nullopt;
            // A list view that pointed pszText at storage of its own is not handled: report
            // failure rather than a wrong text.
            if (answer.pszText != item.pszText)
                return std::nullopt;
            auto text = readRemoteText(*remote);
            if (!text)
                return std::nullopt;
            if (column == 0) {
                entry.itemData = answer.lParam;
                entry.selected = (answer.state & LVIS_SELECTED) != 0;
                entry.image = answer.iImage;
            }
            entry.columns.push_back(std::move(*text));
        }
        rows.push_back(std::move(entry));
    }
    return rows;
}

std::optional<std::vector<std::wstring>> readHeaders(HWND listView) {
    const auto header = sendWithin(listView, LVM_GETHEADER, 0, 0, ANSWER_TIMEOUT_MS);
    const auto columns = columnCount(listView);
    if (!header || !columns)
        return std::nullopt;
    HWND headerWindow = reinterpret_cast<HWND>(*header);
    auto remote = recordBuffer(listView);
    if (!remote)
        return std::nullopt;
    std::vector<std::wstring> headers;
    for (int column = 0; column < *columns; ++column) {
        HDITEMW item{};
        item.mask = HDI_TEXT;
        if (!writeRecord(*remote, item))
            return std::nullopt;
        const auto ok = sendWithin(headerWindow, HDM_GETITEMW, static_cast<WPARAM>(column),
                                   remote->at(0), ANSWER_TIMEOUT_MS);
        if (!ok || *ok == 0)
            return std::nullopt;
        auto text = readRemoteText(*remote);
        if (!text)
            return std::nullopt;
        headers.push_back(std::move(*text));
    }
    return headers;
}

bool selectRow(HWND listView, int index) {
    auto remote = RemoteBuffer::allocate(listView, sizeof(LVITEMW));
    if (!remote)
        return false;
    LVITEMW item{};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = index >= 0 ? LVIS_SELECTED | LVIS_FOCUSED : 0u;
    if (!remote->write(0, &item, sizeof item))
        return false;
    const WPARAM which = index >= 0 ? static_cast<WPARAM>(index) : static_cast<WPARAM>(-1);
    const auto ok = sendWithin(listView, LVM_SETITEMSTATE, which, remote->at(0), ANSWER_TIMEOUT_MS);
    return ok && *ok != 0;
}

} // namespace kpv::automation
