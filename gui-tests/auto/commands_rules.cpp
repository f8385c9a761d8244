// Commands for one account's rules and history: the rows' state icons, the rules dialog
// (130) and the history window (131).
#include "gui-tests/auto/command_support.h"
#include "gui-tests/auto/commands.h"
#include "gui-tests/auto/list_view.h"
#include "gui-tests/auto/text.h"

#include <string>

namespace kpv::automation {

namespace {

constexpr DWORD ANSWER_TIMEOUT_MS = 5000;

bool checked(HWND dialog, int id) {
    const auto state = sendWithin(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0, ANSWER_TIMEOUT_MS);
    return state && *state == BST_CHECKED;
}

bool setChecked(HWND dialog, int id, bool on) {
    return sendWithin(GetDlgItem(dialog, id), BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0,
                      ANSWER_TIMEOUT_MS)
        .has_value();
}

void printRule(HWND dialog, const char* name, int check, int number) {
    out(std::string(name) + "\t" + (checked(dialog, check) ? "on" : "off") + "\t" +
        toUtf8(windowText(GetDlgItem(dialog, number))) + "\n");
}

} // namespace

int commandRowIcons(Options& options) {
    const Deadline deadline(options.timeoutMs());
    return onMainWindow(options, deadline, [](HWND window) {
        const auto rows = readRows(accountList(window));
        if (!rows)
            return fail(EXIT_FAILED, "could not read the rows");
        for (const ListRow& row : *rows)
            out(std::to_string(row.itemData) + "\t" + std::to_string(row.image) + "\n");
        return EXIT_DONE;
    });
}

int commandRulesDialog(Options& options) {
    const DWORD timeout = options.timeoutMs();
    const auto ownDays = options.number(L"own-days");
    const auto size = options.number(L"size");
    if (!options.ok())
        return fail(EXIT_USAGE, options.error());
    const Deadline deadline(timeout);
    HWND dialog = waitForWindow(rulesDialogQuery(), deadline);
    if (dialog == nullptr)
        return fail(EXIT_TIMED_OUT, "no rules dialog appeared");
    printLine(windowText(dialog));
    printRule(dialog, "own-period", IDC_RULES_OWN_PERIOD, IDC_RULES_PERIOD_DAYS);
    printRule(dialog, "size", IDC_RULES_SIZE, IDC_RULES_SIZE_PERCENT);
    printRule(dialog, "files", IDC_RULES_FILES, IDC_RULES_FILES_PERCENT);
    printRule(dialog, "copies", IDC_RULES_COPIES, IDC_RULES_COPIES_PERCENT);
    if (ownDays) {
        if (!setChecked(dialog, IDC_RULES_OWN_PERIOD, *ownDays != 0) ||
            (*ownDays != 0 && !setWindowText(GetDlgItem(dialog, IDC_RULES_PERIOD_DAYS),
                                             std::to_wstring(*ownDays), ANSWER_TIMEOUT_MS)))
            return fail(EXIT_FAILED, "could not set the period");
    }
    if (size && !setWindowText(GetDlgItem(dialog, IDC_RULES_SIZE_PERCENT), std::to_wstring(*size),
                               ANSWER_TIMEOUT_MS))
        return fail(EXIT_FAILED, "could not set the size threshold");
    if (options.flag(L"ok"))
        return press(dialog, IDC_RULES_OK, deadline);
    if (options.flag(L"cancel"))
        return press(dialog, IDC_RULES_CANCEL, deadline);
    return EXIT_DONE;
}

int commandHistory(Options& options) {
    const DWORD timeout = options.timeoutMs();
    if (!options.ok())
        return fail(EXIT_USAGE, options.error());
    const Deadline deadline(timeout);
    HWND dialog = waitForWindow(historyWindowQuery(), deadline);
    if (dialog == nullptr)
        return fail(EXIT_TIMED_OUT, "no history window appeared");
    const auto rows = readRows(GetDlgItem(dialog, IDC_HISTORY_LIST));
    if (!rows)
        return fail(EXIT_FAILED, "could not read the history's rows");
    printLine(windowText(dialog));
    for (const ListRow& row : *rows) {
        std::string line;
        for (const std::wstring& column : row.columns)
            line += (line.empty() ? "" : "\t") + toUtf8(column);
        out(line + "\n");
    }
    if (options.flag(L"export") &&
        !postCommand(dialog, IDC_HISTORY_EXPORT, GetDlgItem(dialog, IDC_HISTORY_EXPORT)))
        return fail(EXIT_FAILED, "could not press the export button");
    if (options.flag(L"close"))
        return press(dialog, IDC_HISTORY_CLOSE, deadline);
    return EXIT_DONE;
}

} // namespace kpv::automation
