#include "app/win32/dialogs_win32.h"

#include "app/settings.h"
#include "app/win32/procedure_guard_win32.h"
#include "app/win32/resource_ids.h"
#include "app/win32/text_win32.h"
#include "app/win32/window_placement_win32.h"

#include <commctrl.h>

#include <string>

namespace kpv {

namespace {

// What the settings dialog reads; owned by the caller for the dialog's whole run.
struct SettingsRequest {
    HWND mainWindow;
    std::uint16_t policyDays; // 0: the user chooses
};

// What the excluded-files dialog reads; owned by the caller for the dialog's whole run.
struct ExcludedFilesRequest {
    HWND mainWindow;
    const Client* client;
    std::uint32_t accountId;
};

// The procedure of a dialog whose only way out is `closeId` (result 0) or the close box.
template <int closeId, typename Initialise>
INT_PTR closeOnlyDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam,
                        Initialise initialise) {
    return guardProcedure([&]() -> INT_PTR {
        switch (message) {
        case WM_INITDIALOG:
            initialise(dialog, lParam);
            return TRUE;
        case WM_COMMAND:
            if (LOWORD(wParam) == closeId)
                EndDialog(dialog, 0);
            return TRUE;
        case WM_CLOSE:
            EndDialog(dialog, 0);
            return TRUE;
        default:
            return FALSE;
        }
    });
}

INT_PTR CALLBACK aboutProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    return closeOnlyDialog<IDC_ABOUT_OK>(
        dialog, message, wParam, lParam, [](HWND self, LPARAM mainWindow) {
            centreOnMainWindow(self, reinterpret_cast<HWND>(mainWindow));
        });
}

// A multi-line edit control in a dialog closes the dialog when it gets Esc; in this dialog
// Esc does nothing, wherever the focus is.
LRESULT CALLBACK ignoreEscape(HWND edit, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                              DWORD_PTR /*data*/) {
    if ((message == WM_KEYDOWN || message == WM_CHAR) && wParam == VK_ESCAPE)
        return 0;
    if (message == WM_NCDESTROY)
        RemoveWindowSubclass(edit, ignoreEscape, id);
    return DefSubclassProc(edit, message, wParam, lParam);
}

void fillExcludedFiles(HWND dialog, const ExcludedFilesRequest& request) {
    centreOnMainWindow(dialog, request.mainWindow);
    SetWindowSubclass(GetDlgItem(dialog, IDC_EXCLUDED_TEXT), ignoreEscape, 0, 0);
    const Client& client = *request.client;
    std::uint32_t position = 0;
    if (!client.excludedIds.find(request.accountId, position) ||
        position >= client.excludedTexts.length())
        return;
    SecureBuffer text = client.excludedTexts.copyAt(position);
    text.appendZeros(1); // so that even a text without its zero byte ends in the buffer
    SetDlgItemTextA(dialog, IDC_EXCLUDED_TEXT, text.text());
}

INT_PTR CALLBACK excludedFilesProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    return closeOnlyDialog<IDC_EXCLUDED_CLOSE>(
        dialog, message, wParam, lParam, [](HWND self, LPARAM requestPointer) {
            fillExcludedFiles(self, *reinterpret_cast<const ExcludedFilesRequest*>(requestPointer));
        });
}

LRESULT addPeriod(HWND dialog, const char* utf8Text, std::uint16_t days) {
    std::wstring text = widenUtf8(utf8Text);
    LRESULT index = SendDlgItemMessageW(dialog, IDC_SETTINGS_PERIOD, CB_ADDSTRING, 0,
                                        reinterpret_cast<LPARAM>(text.c_str()));
    if (index >= 0)
        SendDlgItemMessageW(dialog, IDC_SETTINGS_PERIOD, CB_SETITEMDATA, static_cast<WPARAM>(index),
                            days);
    return index;
}

void fillSettings(HWND dialog, const SettingsRequest& request) {
    centreOnMainWindow(dialog, request.mainWindow);
    for (const SettingsItem& item : SETTINGS_ITEMS)
        addPeriod(dialog, item.utf8Text, item.days);
    LRESULT selection = initialSettingsSelection();
    if (request.policyDays != 0) {
        selection = policySettingsSelection(request.policyDays);
        if (selection < 0) // a period between the items: shown as it is
            selection =
                addPeriod(dialog, periodText(request.policyDays).c_str(), request.policyDays);
        EnableWindow(GetDlgItem(dialog, IDC_SETTINGS_PERIOD), FALSE);
    }
    SendDlgItemMessageW(dialog, IDC_SETTINGS_PERIOD, CB_SETCURSEL, static_cast<WPARAM>(selection),
                        0);
}

void saveSelectedPeriod(HWND dialog) {
    LRESULT index = SendDlgItemMessageW(dialog, IDC_SETTINGS_PERIOD, CB_GETCURSEL, 0, 0);
    if (index == CB_ERR)
        return; // cannot happen after initialisation selected an item; never store CB_ERR
    LRESULT days = SendDlgItemMessageW(dialog, IDC_SETTINGS_PERIOD, CB_GETITEMDATA,
                                       static_cast<WPARAM>(index), 0);
    if (days > 0 && days <= 0xFFFF)
        saveWarningDays(static_cast<std::uint16_t>(days));
}

INT_PTR CALLBACK settingsProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    return guardProcedure([&]() -> INT_PTR {
        switch (message) {
        case WM_INITDIALOG:
            fillSettings(dialog, *reinterpret_cast<const SettingsRequest*>(lParam));
            return TRUE;
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
            case IDC_SETTINGS_OK:
                // A period fixed by policy (the list greyed) is not the user's to store.
                if (IsWindowEnabled(GetDlgItem(dialog, IDC_SETTINGS_PERIOD)))
                    saveSelectedPeriod(dialog);
                EndDialog(dialog, 1);
                break;
            case IDC_SETTINGS_CANCEL:
                EndDialog(dialog, 0);
                break;
            default:
                break; // Enter and Esc (ids 1 and 2) included
            }
            return TRUE;
        case WM_CLOSE:
            EndDialog(dialog, 0);
            return TRUE;
        default:
            return FALSE;
        }
    });
}

} // namespace

void showAboutDialog(HINSTANCE instance, HWND mainWindow) {
    DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_ABOUT), mainWindow, aboutProcedure,
                    reinterpret_cast<LPARAM>(mainWindow));
}

void showExcludedFilesDialog(HINSTANCE instance, HWND mainWindow, const Client& client,
                             std::uint32_t accountId) {
    ExcludedFilesRequest request{mainWindow, &client, accountId};
    DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_EXCLUDED_FILES), mainWindow,
                    excludedFilesProcedure, reinterpret_cast<LPARAM>(&request));
}

void showSettingsDialog(HINSTANCE instance, HWND mainWindow, std::uint16_t policyDays) {
    SettingsRequest request{mainWindow, policyDays};
    DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_SETTINGS), mainWindow, settingsProcedure,
                    reinterpret_cast<LPARAM>(&request));
}

} // namespace kpv
