// Commands that find a window or one of the client's dialogs, read it and press its buttons.
#include "gui-tests/auto/command_support.h"
#include "gui-tests/auto/commands.h"
#include "gui-tests/auto/text.h"

#include <commctrl.h>

#include <algorithm>

namespace kpv::automation {

namespace {

constexpr int MESSAGE_BOX_TEXT_ID = 0xFFFF;

struct ButtonName {
    const wchar_t* name;
    int id;
};
constexpr ButtonName BUTTONS[] = {{L"ok", IDOK},       {L"cancel", IDCANCEL}, {L"abort", IDABORT},
                                  {L"retry", IDRETRY}, {L"ignore", IDIGNORE}, {L"yes", IDYES},
                                  {L"no", IDNO}};

std::optional<int> buttonId(const std::wstring& name) {
    for (const ButtonName& button : BUTTONS)
        if (name == button.name)
            return button.id;
    return std::nullopt;
}

// The action flags shared by the client's own dialogs: which button to press, if any.
std::optional<int> chosenButton(Options& options, int okId, int cancelId) {
    if (options.flag(L"ok"))
        return okId;
    if (options.flag(L"cancel"))
        return cancelId;
    return std::nullopt;
}

// Ends a dialog from its frame's close box: WM_SYSCOMMAND SC_CLOSE, as the system sends it.
int closeFromFrame(HWND dialog, const Deadline& deadline) {
    if (!PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0))
        return fail(EXIT_FAILED, "could not post the close command");
    return waitUntilClosed(dialog, deadline, "from its frame");
}

int finish(Options& options, HWND dialog, int okId, int cancelId, const Deadline& deadline) {
    if (options.flag(L"close"))
        return closeFromFrame(dialog, deadline);
    const auto button = chosenButton(options, okId, cancelId);
    return button ? press(dialog, *button, deadline) : EXIT_DONE;
}

std::wstring messageBoxText(HWND box) {
    if (HWND text = GetDlgItem(box, MESSAGE_BOX_TEXT_ID))
        return windowText(text);
    std::wstring all;
    for (HWND child : descendants(box))
        if (windowClass(child) == L"Static") {
            const std::wstring text = windowText(child);
            if (!text.empty())
                all += all.empty() ? text : L"\n" + text;
        }
    return all;
}

int waitQuery(Options& options, bool present) {
    const DWORD timeout = options.timeoutMs();
    const WindowQuery query = queryFromOptions(options);
    if (!options.ok())
        return fail(EXIT_USAGE, options.error());
    const Deadline deadline(timeout);
    if (!present)
        return waitForNoWindow(query, deadline) ? EXIT_DONE
                                                : fail(EXIT_TIMED_OUT, "the window stayed");
    HWND window = waitForWindow(query, deadline);
    if (window == nullptr)
        return fail(EXIT_TIMED_OUT, "no such window appeared");
    out(hexHandle(window) + "\t" + escapeControls(toUtf8(windowText(window))) + "\n");
    return EXIT_DONE;
}

} // namespace

int commandWaitWindow(Options& options) {
    return waitQuery(options, true);
}
int commandWaitGone(Options& options) {
    return waitQuery(options, false);
}

// A key pressed while a window of another process has the keyboard: the key-down and key-up
// go, through that thread's message loop (so dialog navigation sees them), to the control
// with id --to or else to the control that has the focus.
int commandKey(Options& options) {
    const DWORD timeout = options.timeoutMs();
    const auto virtualKey = options.number(L"vk");
    const auto to = options.number(L"to");
    const WindowQuery query = queryFromOptions(options);
    if (!options.ok() || !virtualKey)
        return fail(EXIT_USAGE, options.ok() ? "key needs --vk N" : options.error());
    const Deadline deadline(timeout);
    HWND window = waitForWindow(query, deadline);
    if (window == nullptr)
        return fail(EXIT_TIMED_OUT, "no such window appeared");
    HWND target = nullptr;
    if (to) {
        target = findDescendant(window, static_cast<int>(*to));
    } else {
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        if (GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info))
            target = info.hwndFocus;
    }
    if (target == nullptr)
        target = window;
    const WPARAM key = static_cast<WPARAM>(*virtualKey);
    const LPARAM scan = static_cast<LPARAM>(MapVirtualKeyW(static_cast<UINT>(key), 0)) << 16;
    if (!PostMessageW(target, WM_KEYDOWN, key, scan | 1) ||
        !PostMessageW(target, WM_KEYUP, key, scan | 1 | (LPARAM(3) << 30)))
        return fail(EXIT_FAILED, "the key could not be posted");
    out(std::to_string(GetDlgCtrlID(target)) + "\t" + toUtf8(windowClass(target)) + "\n");
    settle(window, deadline.remaining() + 1);
    return EXIT_DONE;
}

int commandCountWindows(Options& options) {
    const WindowQuery query = queryFromOptions(options);
    if (!options.ok())
        return fail(EXIT_USAGE, options.error());
    out(std::to_string(findWindows(query).size()) + "\n");
    return EXIT_DONE;
}

int commandMessageBox(Options& options) {
    const DWORD timeout = options.timeoutMs();
    const auto pressName = options.text(L"press");
    const auto expected = options.text(L"expect");
    if (!options.ok())
        return fail(EXIT_USAGE, options.error());
    const auto pressId = pressName ? buttonId(*pressName) : std::nullopt;
    if (pressName && !pressId)
        return fail(EXIT_USAGE, "--press takes ok, cancel, yes, no, abort, retry or ignore");
    const Deadline deadline(timeout);
    HWND box = waitForWindow(messageBoxQuery(), deadline);
    if (box == nullptr)
        return fail(EXIT_TIMED_OUT, "no message box appeared");
    const std::wstring text = messageBoxText(box);
    out(escapeControls(toUtf8(text)) + "\n");
    if (options.flag(L"buttons")) {
        std::string names;
        for (const ButtonName& button : BUTTONS)
            if (HWND control = GetDlgItem(box, button.id); control && IsWindowVisible(control))
                names += (names.empty() ? "" : " ") + toUtf8(button.name);
        out("buttons: " + names + "\n");
    }
    if (options.flag(L"owner")) {
        HWND owner = GetWindow(box, GW_OWNER);
        HWND main = findWindows(mainWindowQuery()).empty() ? nullptr
                                                           : findWindows(mainWindowQuery()).front();
        out(std::string("owner: ") +
            (owner == nullptr ? "none"
             : owner == main  ? "main"
                              : "other") +
            "\n");
    }
    if (expected && *expected != text)
        return fail(EXIT_FAILED, "the message box says \"" + toUtf8(text) + "\", not \"" +
                                     toUtf8(*expected) + "\"");
    return pressId ? press(box, *pressId, deadline) : EXIT_DONE;
}

int commandNameDialog(Options& options) {
    const DWORD timeout = options.timeoutMs();
    const auto newText = options.text(L"text");
    if (!options.ok())
        return fail(EXIT_USAGE, options.error());
    const Deadline deadline(timeout);
    HWND dialog = waitForWindow(nameDialogQuery(), deadline);
    if (dialog == nullptr)
        return fail(EXIT_TIMED_OUT, "no name dialog appeared");
    HWND edit = GetDlgItem(dialog, IDC_NAME_EDIT);
    printLine(windowText(dialog));
    printLine(windowText(edit));
    if (newText) {
        if (!setWindowText(edit, *newText, deadline.remaining()))
            return fail(EXIT_FAILED, "could not set the name field");
        if (windowText(edit) != *newText)
            return fail(EXIT_FAILED, "the name field does not hold the text given");
    }
    return finish(options, dialog, IDC_NAME_OK, IDC_NAME_CANCEL, deadline);
}

int commandFileDialog(Options& options) {
    const DWORD timeout = options.timeoutMs();
    const auto path = options.text(L"path");
    if (!options.ok())
        return fail(EXIT_USAGE, options.error());
    if (!path && !options.flag(L"cancel"))
        return fail(EXIT_USAGE, "file-dialog needs --path P or --cancel");
    const Deadline deadline(timeout);
    HWND dialog = waitForFileDialog(deadline);
    if (dialog == nullptr)
        return fail(EXIT_TIMED_OUT, "no file dialog appeared");
    printLine(windowText(dialog));
    HWND field = findDescendant(dialog, FILE_NAME_COMBO_ID);
    if (field == nullptr)
        field = findDescendant(dialog, FILE_NAME_EDIT_ID);
    HWND edit = field;
    if (field != nullptr && windowClass(field) != L"Edit") {
        edit = nullptr;
        for (HWND inner : descendants(field))
            if (windowClass(inner) == L"Edit")
                edit = inner;
    }
    if (edit == nullptr)
        return fail(EXIT_FAILED, "the file dialog has no file name field");
    if (options.flag(L"print-name"))
        printLine(windowText(edit));
    if (options.flag(L"cancel"))
        return press(dialog, IDCANCEL, deadline);
    if (!setWindowText(edit, *path, deadline.remaining()))
        return fail(EXIT_FAILED, "could not set the file name field");
    HWND button = GetDlgItem(dialog, IDOK);
    if (!postCommand(dialog, IDOK, button))
        return fail(EXIT_FAILED, "could not press the dialog's OK button");
    // The dialog either closes or answers with a box of its own (file missing, overwrite?).
    while (IsWindow(dialog) && IsWindowVisible(dialog)) {
        for (HWND window : findWindows(WindowQuery{std::nullopt, L"#32770", {}, {}, true}))
            if (GetWindow(window, GW_OWNER) == dialog)
                return fail(EXIT_FAILED,
                            "the file dialog answered: " + toUtf8(messageBoxText(window)));
        if (deadline.passed())
            return fail(EXIT_TIMED_OUT, "the file dialog did not close");
        Sleep(50);
    }
    return EXIT_DONE;
}

namespace {

struct PeriodItem {
    std::wstring text;
    DWORD_PTR days = 0;
};

struct PeriodList {
    std::vector<PeriodItem> items;
    DWORD_PTR selected = 0;
};

// The items of combo box 1014; nothing when the dialog stopped answering (it may be one that
// was just ending).
std::optional<PeriodList> readPeriods(HWND combo, DWORD timeout) {
    PeriodList list;
    DWORD_PTR count = 0;
    if (!SendMessageTimeoutW(combo, CB_GETCOUNT, 0, 0, SMTO_ABORTIFHUNG, timeout, &count) ||
        !SendMessageTimeoutW(combo, CB_GETCURSEL, 0, 0, SMTO_ABORTIFHUNG, timeout,
                             &list.selected) ||
        count > 1000)
        return std::nullopt;
    for (WPARAM i = 0; i < count; ++i) {
        DWORD_PTR length = 0;
        PeriodItem item;
        if (!SendMessageTimeoutW(combo, CB_GETLBTEXTLEN, i, 0, SMTO_ABORTIFHUNG, timeout,
                                 &length) ||
            !SendMessageTimeoutW(combo, CB_GETITEMDATA, i, 0, SMTO_ABORTIFHUNG, timeout,
                                 &item.days) ||
            length > 4096)
            return std::nullopt;
        item.text.assign(static_cast<std::size_t>(length) + 1, L'\0');
        DWORD_PTR copied = 0;
        if (!SendMessageTimeoutW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(item.text.data()),
                                 SMTO_ABORTIFHUNG, timeout, &copied))
            return std::nullopt;
        item.text.resize(std::min<std::size_t>(static_cast<std::size_t>(copied), length));
        list.items.push_back(std::move(item));
    }
    return list;
}

} // namespace

int commandSettings(Options& options) {
    const DWORD timeout = options.timeoutMs();
    const auto days = options.number(L"days");
    if (!options.ok())
        return fail(EXIT_USAGE, options.error());
    const Deadline deadline(timeout);
    HWND dialog = nullptr;
    std::optional<PeriodList> periods;
    while (!periods) {
        dialog = waitForWindow(settingsDialogQuery(), deadline);
        if (dialog == nullptr)
            return fail(EXIT_TIMED_OUT, "no settings dialog appeared");
        periods = readPeriods(GetDlgItem(dialog, IDC_SETTINGS_PERIOD), 2000);
        if (!periods && deadline.passed())
            return fail(EXIT_TIMED_OUT, "the period list did not answer");
        if (!periods)
            Sleep(100);
    }
    printLine(windowText(dialog));
    std::optional<WPARAM> wanted;
    for (std::size_t i = 0; i < periods->items.size(); ++i) {
        const PeriodItem& item = periods->items[i];
        out((i == periods->selected ? "* " : "  ") + toUtf8(item.text) + "\t" +
            std::to_string(item.days) + "\n");
        if (days && static_cast<std::int64_t>(item.days) == *days)
            wanted = i;
    }
    if (!IsWindowEnabled(GetDlgItem(dialog, IDC_SETTINGS_PERIOD)))
        out("(greyed)\n");
    if (days) {
        if (!wanted)
            return fail(EXIT_FAILED, "no item has that number of days");
        DWORD_PTR result = 0;
        if (!SendMessageTimeoutW(GetDlgItem(dialog, IDC_SETTINGS_PERIOD), CB_SETCURSEL, *wanted, 0,
                                 SMTO_ABORTIFHUNG, timeout, &result) ||
            result != *wanted)
            return fail(EXIT_FAILED, "could not select the item");
    }
    return finish(options, dialog, IDC_SETTINGS_OK, IDC_SETTINGS_CANCEL, deadline);
}

int commandExcluded(Options& options) {
    const DWORD timeout = options.timeoutMs();
    if (!options.ok())
        return fail(EXIT_USAGE, options.error());
    const Deadline deadline(timeout);
    HWND dialog = waitForWindow(excludedDialogQuery(), deadline);
    if (dialog == nullptr)
        return fail(EXIT_TIMED_OUT, "no excluded-files dialog appeared");
    printLine(windowText(dialog));
    printLine(windowText(GetDlgItem(dialog, IDC_EXCLUDED_TEXT)));
    return finish(options, dialog, IDC_EXCLUDED_CLOSE, IDC_EXCLUDED_CLOSE, deadline);
}

int commandAbout(Options& options) {
    const DWORD timeout = options.timeoutMs();
    if (!options.ok())
        return fail(EXIT_USAGE, options.error());
    const Deadline deadline(timeout);
    HWND dialog = waitForWindow(aboutDialogQuery(), deadline);
    if (dialog == nullptr)
        return fail(EXIT_TIMED_OUT, "no about dialog appeared");
    for (HWND child : descendants(dialog))
        printLine(windowText(child));
    return finish(options, dialog, IDC_ABOUT_OK, IDC_ABOUT_OK, deadline);
}

int commandAlerts(Options& options) {
    const DWORD timeout = options.timeoutMs();
    const std::vector<std::wstring> settings = options.all(L"set");
    if (!options.ok())
        return fail(EXIT_USAGE, options.error());
    const Deadline deadline(timeout);
    HWND dialog = waitForWindow(alertsDialogQuery(), deadline);
    if (dialog == nullptr)
        return fail(EXIT_TIMED_OUT, "no alerts dialog appeared");
    for (const std::wstring& setting : settings) {
        const auto equals = setting.find(L'=');
        const std::int64_t id =
            equals == std::wstring::npos ? -1 : parseNumber(setting.substr(0, equals)).value_or(-1);
        if (id < 0 || id > 0xFFFF)
            return fail(EXIT_USAGE, "--set needs ID=TEXT");
        HWND field = GetDlgItem(dialog, static_cast<int>(id));
        if (field == nullptr ||
            !setWindowText(field, setting.substr(equals + 1), deadline.remaining()))
            return fail(EXIT_FAILED, "could not fill field " + std::to_string(id));
    }
    if (options.flag(L"test")) {
        HWND result = GetDlgItem(dialog, IDC_ALERT_TEST_RESULT);
        if (!setWindowText(result, L"", deadline.remaining()) ||
            !postCommand(dialog, IDC_ALERT_TEST, GetDlgItem(dialog, IDC_ALERT_TEST)))
            return fail(EXIT_FAILED, "could not press the test button");
        for (;;) {
            const std::wstring text = windowText(result);
            if (!text.empty() && text.find(L"Skickar test") == std::wstring::npos)
                break;
            if (deadline.passed())
                return fail(EXIT_TIMED_OUT, "the test did not end");
            Sleep(100);
        }
    }
    printLine(windowText(dialog));
    for (HWND child : descendants(dialog)) {
        const int id = GetDlgCtrlID(child);
        if (id < IDC_ALERT_WEBHOOK_URL || id > IDC_ALERT_CANCEL)
            continue;
        std::wstring text = windowText(child);
        if (windowClass(child) == L"ComboBox") {
            const auto index = sendWithin(child, CB_GETCURSEL, 0, 0, deadline.remaining());
            wchar_t item[64] = {};
            if (index && *index >= 0 &&
                sendWithin(child, CB_GETLBTEXT, static_cast<WPARAM>(*index),
                           reinterpret_cast<LPARAM>(item), deadline.remaining()))
                text = item;
        } else if (id == IDC_ALERT_NOTIFICATIONS) {
            const auto checked = sendWithin(child, BM_GETCHECK, 0, 0, deadline.remaining());
            text = checked && *checked == BST_CHECKED ? L"checked" : L"unchecked";
        }
        out(std::to_string(id) + "\t" + (IsWindowEnabled(child) ? "enabled" : "disabled") + "\t" +
            escapeControls(toUtf8(text)) + "\n");
    }
    return finish(options, dialog, IDC_ALERT_OK, IDC_ALERT_CANCEL, deadline);
}

} // namespace kpv::automation
