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
    WindowQuery query = dialogWith({LIST_VIEW_ID});
    query.title = L"Kopiavakt";
    query.visibleOnly = false;
    return query;
}

WindowQuery messageBoxQuery() {
    WindowQuery query = dialogWith({});
    query.title = L"Kopiavakt";
    query.forbiddenChildren = {LIST_VIEW_ID, ABOUT_OK_ID};
    return query;
}

WindowQuery nameDialogQuery() {
    return dialogWith({NAME_EDIT_ID, NAME_OK_ID, NAME_CANCEL_ID});
}

WindowQuery settingsDialogQuery() {
    return dialogWith({SETTINGS_PERIOD_ID, SETTINGS_OK_ID, SETTINGS_CANCEL_ID});
}

WindowQuery excludedDialogQuery() {
    return dialogWith({EXCLUDED_TEXT_ID, EXCLUDED_CLOSE_ID});
}

WindowQuery aboutDialogQuery() {
    WindowQuery query = dialogWith({ABOUT_OK_ID});
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
