#include "app/win32/rules_dialog_win32.h"

#include "app/rules_commands.h"
#include "app/settings.h"
#include "app/win32/procedure_guard_win32.h"
#include "app/win32/resource_ids.h"
#include "app/win32/text_win32.h"
#include "app/win32/window_placement_win32.h"

namespace kpv {

namespace {

constexpr wchar_t CAPTION[] = L"Kopiavakt";

struct RulesRequest {
    HWND mainWindow;
    std::uint32_t accountId;
    RulesForm form;
    bool stored = false;
};

// Each rule's switch and its number field.
struct RuleControls {
    int check;
    int number;
};
constexpr RuleControls PERIOD{IDC_RULES_OWN_PERIOD, IDC_RULES_PERIOD_DAYS};
constexpr RuleControls SIZE{IDC_RULES_SIZE, IDC_RULES_SIZE_PERCENT};
constexpr RuleControls FILES{IDC_RULES_FILES, IDC_RULES_FILES_PERCENT};
constexpr RuleControls COPIES{IDC_RULES_COPIES, IDC_RULES_COPIES_PERCENT};

void show(HWND dialog, RuleControls controls, bool on, std::uint32_t number) {
    CheckDlgButton(dialog, controls.check, on ? BST_CHECKED : BST_UNCHECKED);
    SetDlgItemInt(dialog, controls.number, number, FALSE);
    EnableWindow(GetDlgItem(dialog, controls.number), on);
}

// A field that holds no number reads as 0, which every range refuses.
void read(HWND dialog, RuleControls controls, bool& on, std::uint32_t& number) {
    on = IsDlgButtonChecked(dialog, controls.check) == BST_CHECKED;
    BOOL translated = FALSE;
    const UINT value = GetDlgItemInt(dialog, controls.number, &translated, FALSE);
    number = translated ? value : 0;
}

void fill(HWND dialog, const RulesRequest& request) {
    centreOnMainWindow(dialog, request.mainWindow);
    const RulesForm& form = request.form;
    show(dialog, PERIOD, form.ownPeriod, form.periodDays);
    show(dialog, SIZE, form.sizeRule, form.sizeDropPercent);
    show(dialog, FILES, form.fileRule, form.fileDropPercent);
    show(dialog, COPIES, form.copiesRule, form.copiesDropPercent);
}

// True when the dialog may end: stored, or a message was shown and the user goes on editing.
bool store(HWND dialog, RulesRequest& request) {
    RulesForm& form = request.form;
    read(dialog, PERIOD, form.ownPeriod, form.periodDays);
    read(dialog, SIZE, form.sizeRule, form.sizeDropPercent);
    read(dialog, FILES, form.fileRule, form.fileDropPercent);
    read(dialog, COPIES, form.copiesRule, form.copiesDropPercent);
    if (const char* problem = storeRulesForm(request.accountId, form)) {
        MessageBoxW(dialog, widenUtf8(problem).c_str(), CAPTION, MB_OK);
        return false;
    }
    request.stored = true;
    return true;
}

void onToggle(HWND dialog, int id) {
    for (const RuleControls& controls : {PERIOD, SIZE, FILES, COPIES})
        if (controls.check == id)
            EnableWindow(GetDlgItem(dialog, controls.number),
                         IsDlgButtonChecked(dialog, id) == BST_CHECKED);
}

INT_PTR CALLBACK rulesProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    return guardProcedure([&]() -> INT_PTR {
        auto* request = reinterpret_cast<RulesRequest*>(GetWindowLongPtrW(dialog, DWLP_USER));
        switch (message) {
        case WM_INITDIALOG:
            SetWindowLongPtrW(dialog, DWLP_USER, lParam);
            fill(dialog, *reinterpret_cast<RulesRequest*>(lParam));
            return TRUE;
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
            case IDC_RULES_OK:
                if (request != nullptr && store(dialog, *request))
                    EndDialog(dialog, 1);
                break;
            case IDC_RULES_CANCEL:
                EndDialog(dialog, 0);
                break;
            default:
                onToggle(dialog, LOWORD(wParam)); // Enter and Esc do nothing, as elsewhere
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

bool showRulesDialog(HINSTANCE instance, HWND mainWindow, std::uint32_t accountId) {
    RulesRequest request{mainWindow, accountId, rulesFormFor(accountId, loadWarningDays())};
    DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_ACCOUNT_RULES), mainWindow, rulesProcedure,
                    reinterpret_cast<LPARAM>(&request));
    return request.stored;
}

} // namespace kpv
