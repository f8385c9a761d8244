#include "gui-tests/auto/client_windows.h"

namespace kpv::automation {

namespace {

WindowQuery dialogWith(std::vector<int> children) {
    WindowQuery query;
    query.className = L"#32770";
    query.requiredChildren = std::move(children);
    return query;
}

} // namespace

WindowQuery mainWindowQuery() {
    WindowQuery query = dialogWith({IDC_ACCOUNT_LIST});
    query.title = L"Kopiavakt";
    query.visibleOnly = false;
    return query;
}

WindowQuery messageBoxQuery() {
    WindowQuery query = dialogWith({});
    query.title = L"Kopiavakt";
    query.forbiddenChildren = {IDC_ACCOUNT_LIST, IDC_ABOUT_OK};
    return query;
}

WindowQuery nameDialogQuery() {
    return dialogWith({IDC_NAME_EDIT, IDC_NAME_OK, IDC_NAME_CANCEL});
}

WindowQuery settingsDialogQuery() {
    return dialogWith({IDC_SETTINGS_PERIOD, IDC_SETTINGS_OK, IDC_SETTINGS_CANCEL});
}

WindowQuery excludedDialogQuery() {
    return dialogWith({IDC_EXCLUDED_TEXT, IDC_EXCLUDED_CLOSE});
}

WindowQuery alertsDialogQuery() {
    return dialogWith({IDC_ALERT_WEBHOOK_URL, IDC_ALERT_TEST, IDC_ALERT_OK});
}

WindowQuery rulesDialogQuery() {
    return dialogWith({IDC_RULES_OWN_PERIOD, IDC_RULES_PERIOD_DAYS, IDC_RULES_OK});
}

WindowQuery historyWindowQuery() {
    return dialogWith({IDC_HISTORY_CHART, IDC_HISTORY_LIST, IDC_HISTORY_EXPORT});
}

WindowQuery aboutDialogQuery() {
    WindowQuery query = dialogWith({IDC_ABOUT_OK});
    query.title = L"Kopiavakt";
    return query;
}

HWND waitForFileDialog(const Deadline& deadline) {
    const WindowQuery newer = dialogWith({FILE_NAME_COMBO_ID, IDOK});
    const WindowQuery older = dialogWith({FILE_NAME_EDIT_ID, IDOK});
    for (;;) {
        auto found = findWindows(newer);
        if (found.empty())
            found = findWindows(older);
        if (!found.empty())
            return found.front();
        if (deadline.passed())
            return nullptr;
        Sleep(50);
    }
}

} // namespace kpv::automation
