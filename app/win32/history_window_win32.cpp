#include "app/win32/history_window_win32.h"

#include "app/win32/history_chart_win32.h"
#include "app/win32/procedure_guard_win32.h"
#include "app/win32/resource_ids.h"
#include "app/win32/text_win32.h"
#include "app/win32/window_placement_win32.h"
#include "core/native_handle.h"
#include "status/account_state.h"
#include "status/column_text.h"
#include "status/history_file.h"
#include "status/history_table.h"

#include <commctrl.h>
#include <commdlg.h>

#include <string>
#include <vector>

namespace kpv {

namespace {

constexpr wchar_t CAPTION[] = L"Kopiavakt";
constexpr std::uint32_t PATH_FIELD = 260;

struct HistoryRequest {
    HWND mainWindow;
    std::uint32_t accountId;
    std::wstring title;
    AccountRules rules;
    AccountHistory::Records records;
    std::vector<unsigned> raised;
};

struct Column {
    const char* utf8Header;
    int width; // dialog units
};

constexpr Column COLUMNS[] = {
    {"Sedd", 62},
    {"Senaste kopiering", 62},
    {"Antal filer", 40},
    {"Total storlek", 48},
    {"Antal uteslutna filer", 40},
    {"Antal kopieringar utförda", 40},
    {"Antal lagrade kopior", 40},
    {"Diskutrymme", 48},
    {"Avvikelse", 60},
};

// The rules a record raised, in words: "storlek", "filer", "kopior".
std::string raisedText(unsigned raised) {
    static const std::pair<AnomalyRule, const char*> NAMES[] = {
        {SIZE_RULE, "storlek"}, {FILE_RULE, "filer"}, {COPIES_RULE, "kopior"}};
    std::string text;
    for (const auto& [rule, name] : NAMES) {
        if ((raised & rule) == 0)
            continue;
        if (!text.empty())
            text += ", ";
        text += name;
    }
    return text;
}

void setCell(HWND list, int row, int column, const std::string& ansiText) {
    LVITEMA cell{};
    cell.mask = LVIF_TEXT;
    cell.iItem = row;
    cell.iSubItem = column;
    cell.pszText = const_cast<char*>(ansiText.c_str()); // the list keeps its own copy
    SendMessageA(list, column == 0 ? LVM_INSERTITEMA : LVM_SETITEMA, 0,
                 reinterpret_cast<LPARAM>(&cell));
}

std::string textOf(const SecureBuffer& buffer) {
    return buffer.empty() ? std::string() : std::string(buffer.text());
}

void fillTable(HWND dialog, const HistoryRequest& request) {
    HWND list = GetDlgItem(dialog, IDC_HISTORY_LIST);
    int index = 0;
    for (const Column& column : COLUMNS) {
        std::wstring header = widenUtf8(column.utf8Header);
        RECT width{0, 0, column.width, 0};
        MapDialogRect(dialog, &width);
        LVCOLUMNW entry{};
        entry.mask = LVCF_TEXT | LVCF_WIDTH;
        entry.cx = width.right;
        entry.pszText = header.data();
        SendMessageW(list, LVM_INSERTCOLUMNW, static_cast<WPARAM>(index++),
                     reinterpret_cast<LPARAM>(&entry));
    }
    SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_FULLROWSELECT);
    const auto& records = request.records;
    for (std::size_t i = records.size(); i-- > 0;) {
        const HistoryRecord& record = records[i];
        const int row = static_cast<int>(records.size() - 1 - i);
        setCell(list, row, 0, textOf(formatDateTime(record.timeSeen)));
        setCell(list, row, 1, textOf(formatDateTime(record.lastCopyTime)));
        setCell(list, row, 2, textOf(formatDecimal(record.fileCount)));
        setCell(list, row, 3, textOf(formatSize(record.totalSize)));
        setCell(list, row, 4, textOf(formatDecimal(record.excludedCount)));
        setCell(list, row, 5, textOf(formatDecimal(record.copiesMade)));
        setCell(list, row, 6, textOf(formatDecimal(record.storedCopies)));
        setCell(list, row, 7, textOf(formatSize(record.diskSpace)));
        setCell(list, row, 8, raisedText(i < request.raised.size() ? request.raised[i] : 0));
    }
}

// Writes the CSV whole; false when the file could not be made or written.
bool writeCsv(const wchar_t* path, const std::string& csv) {
    UniqueNativeHandle file(CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    DWORD written = 0;
    return WriteFile(file.get(), csv.data(), static_cast<DWORD>(csv.size()), &written, nullptr) &&
           written == csv.size() && FlushFileBuffers(file.get());
}

void exportCsv(HWND dialog, const HistoryRequest& request) {
    wchar_t field[PATH_FIELD] = L"historik.csv";
    std::wstring filter = widenUtf8("CSV-fil (*.csv)");
    filter.push_back(L'\0');
    filter += L"*.csv";
    filter.push_back(L'\0');
    const std::wstring title = widenUtf8("Exportera historik");
    OPENFILENAMEW chooser{};
    chooser.lStructSize = sizeof chooser;
    chooser.hwndOwner = dialog;
    chooser.lpstrFilter = filter.c_str();
    chooser.nFilterIndex = 1;
    chooser.lpstrFile = field;
    chooser.nMaxFile = PATH_FIELD;
    chooser.lpstrTitle = title.c_str();
    chooser.lpstrDefExt = L"csv";
    // The working folder must stay the current directory: the data files are opened by name.
    chooser.Flags =
        OFN_EXPLORER | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | OFN_NOCHANGEDIR;
    if (!GetSaveFileNameW(&chooser))
        return;
    if (!writeCsv(field, historyCsv(request.records, request.rules)))
        MessageBoxW(dialog, widenUtf8("Fel: Kunde inte spara filen.").c_str(), CAPTION, MB_OK);
}

int dpiOf(HWND window) {
    HDC dc = GetDC(window);
    const int dpi = dc != nullptr ? GetDeviceCaps(dc, LOGPIXELSY) : 96;
    if (dc != nullptr)
        ReleaseDC(window, dc);
    return dpi > 0 ? dpi : 96;
}

void drawChart(const DRAWITEMSTRUCT& draw, const HistoryRequest& request) {
    HGDIOBJ font = reinterpret_cast<HGDIOBJ>(SendMessageW(draw.hwndItem, WM_GETFONT, 0, 0));
    HGDIOBJ previous = font != nullptr ? SelectObject(draw.hDC, font) : nullptr;
    drawHistoryChart(draw.hDC, draw.rcItem, request.records, request.raised, dpiOf(draw.hwndItem));
    if (previous != nullptr)
        SelectObject(draw.hDC, previous);
}

INT_PTR CALLBACK historyProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    return guardProcedure([&]() -> INT_PTR {
        auto* request = reinterpret_cast<HistoryRequest*>(GetWindowLongPtrW(dialog, DWLP_USER));
        switch (message) {
        case WM_INITDIALOG: {
            SetWindowLongPtrW(dialog, DWLP_USER, lParam);
            auto& started = *reinterpret_cast<HistoryRequest*>(lParam);
            SetWindowTextW(dialog, started.title.c_str());
            centreOnMainWindow(dialog, started.mainWindow);
            fillTable(dialog, started);
            return TRUE;
        }
        case WM_DRAWITEM:
            if (request != nullptr && wParam == IDC_HISTORY_CHART && lParam != 0) {
                drawChart(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam), *request);
                return TRUE;
            }
            return FALSE;
        case WM_COMMAND:
            if (LOWORD(wParam) == IDC_HISTORY_EXPORT && request != nullptr)
                exportCsv(dialog, *request);
            else if (LOWORD(wParam) == IDC_HISTORY_CLOSE)
                EndDialog(dialog, 0);
            return TRUE; // Enter and Esc do nothing, as in the other dialogs
        case WM_CLOSE:
            EndDialog(dialog, 0);
            return TRUE;
        default:
            return FALSE;
        }
    });
}

std::wstring widenAnsi(const char* ansi) {
    const int length = MultiByteToWideChar(CP_ACP, 0, ansi, -1, nullptr, 0);
    if (length <= 1)
        return {};
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, ansi, -1, wide.data(), length);
    wide.resize(static_cast<std::size_t>(length - 1));
    return wide;
}

} // namespace

void showHistoryWindow(HINSTANCE instance, HWND mainWindow, std::uint32_t accountId,
                       const char* ansiName) {
    HistoryRequest request{mainWindow, accountId, {}, loadRules().rulesOf(accountId), {}, {}};
    request.title = widenUtf8("Historik – ") + widenAnsi(ansiName != nullptr ? ansiName : "");
    request.records = loadHistory().recordsOf(accountId);
    request.raised = raisedRulesOfRecords(request.records, request.rules);
    DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_HISTORY), mainWindow, historyProcedure,
                    reinterpret_cast<LPARAM>(&request));
}

} // namespace kpv
