// The name dialog (103): its text starts as pendingName and, after "OK", goes back there.
#include "accounts/pending_name.h"
#include "app/win32/procedure_guard_win32.h"
#include "app/win32/resource_ids.h"
#include "app/win32/win32_user_interface.h"
#include "app/win32/window_placement_win32.h"

#include <cstring>

namespace kpv {

namespace {

// The most the dialog takes: 1023 bytes of text and the zero byte.
constexpr std::uint32_t NAME_FIELD = 1024;

void fillFromPendingName(HWND dialog) {
    const SecureBuffer& pending = pendingName();
    if (pending.empty())
        return;
    SecureBuffer shown = pending.copy(); // pendingName holds no zero byte of its own
    shown.appendZeros(1);
    SetDlgItemTextA(dialog, IDC_NAME_EDIT, shown.text());
}

void takeEnteredName(HWND dialog) {
    SecureBuffer field = SecureBuffer::zeros(NAME_FIELD);
    char* bytes = reinterpret_cast<char*>(field.data());
    GetDlgItemTextA(dialog, IDC_NAME_EDIT, bytes, static_cast<int>(NAME_FIELD));
    field.resize(static_cast<std::uint32_t>(strnlen(bytes, NAME_FIELD - 1)));
    pendingName().assign(field);
}

INT_PTR CALLBACK nameDialogProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    return guardProcedure([&]() -> INT_PTR {
        switch (message) {
        case WM_INITDIALOG:
            centreOnMainWindow(dialog, reinterpret_cast<HWND>(lParam));
            fillFromPendingName(dialog);
            return TRUE;
        case WM_COMMAND:
            // Enter and Esc arrive as the ids 1 and 2 and are ignored like every other id.
            switch (LOWORD(wParam)) {
            case IDC_NAME_CANCEL:
                EndDialog(dialog, 0);
                break;
            case IDC_NAME_OK:
                takeEnteredName(dialog);
                EndDialog(dialog, 1);
                break;
            default:
                break;
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

int Win32UserInterface::showNameDialog() {
    INT_PTR result = DialogBoxParamW(instance_, MAKEINTRESOURCEW(IDD_NAME), mainWindow_,
                                     nameDialogProcedure, reinterpret_cast<LPARAM>(mainWindow_));
    return result == 1 ? 1 : 0;
}

} // namespace kpv
