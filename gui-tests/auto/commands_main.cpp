// Commands that act on the client's main window: its rows, its messages and its visibility.
#include "gui-tests/auto/command_support.h"
#include "gui-tests/auto/commands.h"
#include "gui-tests/auto/list_view.h"
#include "gui-tests/auto/text.h"

#include <commctrl.h>

#include <cstdio>

namespace kpv::automation {

namespace {

constexpr UINT_PTR TIMER_ID = 1;

std::string rowLine(const ListRow& row) {
    std::string line = std::to_string(static_cast<long long>(row.itemData));
    for (const std::wstring& column : row.columns) {
        line += '\t';
        line += escapeControls(toUtf8(column));
    }
    return line;
}

bool anyColumnContains(const std::vector<ListRow>& rows, const std::wstring& needle) {
    for (const ListRow& row : rows)
        for (const std::wstring& column : row.columns)
            if (column.find(needle) != std::wstring::npos)
                return true;
    return false;
}

int postToMain(Options& options, UINT message, WPARAM wParam, LPARAM lParam) {
    const DWORD timeout = options.timeoutMs();
    return onMainWindow(options, Deadline(timeout), [&](HWND window) {
        const ULONGLONG posted = GetTickCount64();
        if (!PostMessageW(window, message, wParam, lParam))
            return fail(EXIT_FAILED, "could not post to the main window");
        if (options.flag(L"time")) {
            // Long enough for an idle thread to take the message, short against what is timed.
            Sleep(20);
            DWORD_PTR result = 0;
            if (!SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, timeout, &result))
                return fail(EXIT_TIMED_OUT, "the main window did not answer");
            out("elapsed_ms " + std::to_string(GetTickCount64() - posted) + "\n");
        } else if (options.flag(L"settle") && !settle(window, timeout)) {
            return fail(EXIT_TIMED_OUT, "the main window did not settle");
        }
        return EXIT_DONE;
    });
}

} // namespace

int commandRows(Options& options) {
    const DWORD timeout = options.timeoutMs();
    const auto count = options.number(L"count");
    const auto minimum = options.number(L"min");
    const auto contains = options.text(L"contains");
    const auto lacks = options.text(L"lacks");
    const Deadline deadline(timeout);
    return onMainWindow(options, deadline, [&](HWND window) {
        HWND list = accountList(window);
        std::vector<ListRow> rows;
        for (;;) {
            auto read = readRows(list);
            if (read) {
                rows = std::move(*read);
                const auto size = static_cast<std::int64_t>(rows.size());
                const bool met = (!count || size == *count) && (!minimum || size >= *minimum) &&
                                 (!contains || anyColumnContains(rows, *contains)) &&
                                 (!lacks || !anyColumnContains(rows, *lacks));
                if (met)
                    break;
            }
            if (deadline.passed()) {
                for (const ListRow& row : rows)
                    out(rowLine(row) + "\n");
                return fail(EXIT_TIMED_OUT, read ? "the rows did not reach the wanted state"
                                                 : "could not read the list view");
            }
            Sleep(100);
        }
        std::string text;
        for (const ListRow& row : rows)
            text += rowLine(row) + "\n";
        out(text);
        return EXIT_DONE;
    });
}

int commandRowCount(Options& options) {
    const DWORD timeout = options.timeoutMs();
    const auto count = options.number(L"count");
    const Deadline deadline(timeout);
    return onMainWindow(options, deadline, [&](HWND window) {
        HWND list = accountList(window);
        for (;;) {
            DWORD_PTR rows = 0;
            const bool answered = SendMessageTimeoutW(list, LVM_GETITEMCOUNT, 0, 0, SMTO_NORMAL,
                                                      deadline.remaining() + 1, &rows) != 0;
            if (answered && (!count || static_cast<std::int64_t>(rows) == *count)) {
                out(std::to_string(rows) + "\n");
                return EXIT_DONE;
            }
            if (deadline.passed())
                return fail(EXIT_TIMED_OUT, "the row count did not reach the wanted number");
            Sleep(20);
        }
    });
}

int commandHeaders(Options& options) {
    const Deadline deadline(options.timeoutMs());
    return onMainWindow(options, deadline, [](HWND window) {
        const auto headers = readHeaders(accountList(window));
        if (!headers)
            return fail(EXIT_FAILED, "could not read the column headers");
        for (const std::wstring& header : *headers)
            printLine(header);
        return EXIT_DONE;
    });
}

int commandSelect(Options& options) {
    const DWORD timeout = options.timeoutMs();
    const auto id = options.number(L"id");
    const auto row = options.number(L"row");
    const bool none = options.flag(L"none");
    if (!options.ok())
        return fail(EXIT_USAGE, options.error());
    if (static_cast<int>(id.has_value()) + static_cast<int>(row.has_value()) +
            static_cast<int>(none) !=
        1)
        return fail(EXIT_USAGE, "select needs one of --id N, --row N, --none");
    const Deadline deadline(timeout);
    return onMainWindow(options, deadline, [&](HWND window) {
        HWND list = accountList(window);
        for (;;) {
            const auto rows = readRows(list);
            int index = -1;
            bool found = none;
            if (rows && row && *row >= 0 && static_cast<std::size_t>(*row) < rows->size()) {
                index = static_cast<int>(*row);
                found = true;
            }
            if (rows && id) {
                for (std::size_t i = 0; i < rows->size() && !found; ++i)
                    if (static_cast<std::int64_t>((*rows)[i].itemData) == *id) {
                        index = static_cast<int>(i);
                        found = true;
                    }
            }
            if (found)
                return selectRow(list, index) ? EXIT_DONE
                                              : fail(EXIT_FAILED, "could not select the row");
            if (deadline.passed())
                return fail(EXIT_TIMED_OUT, "no such row");
            Sleep(100);
        }
    });
}

int commandPostCommand(Options& options) {
    const auto& words = options.positional();
    const auto id = words.size() == 1 ? parseNumber(words[0]) : std::nullopt;
    if (!id || *id < 0 || *id > 0xFFFF)
        return fail(EXIT_USAGE, "command needs one command id (0 to 65535)");
    const WPARAM wParam = static_cast<WPARAM>(*id);
    return postToMain(options, WM_COMMAND, wParam, 0);
}

int commandPost(Options& options) {
    const auto& words = options.positional();
    std::int64_t values[3] = {0, 0, 0};
    if (words.empty() || words.size() > 3)
        return fail(EXIT_USAGE, "post needs MESSAGE [WPARAM [LPARAM]]");
    for (std::size_t i = 0; i < words.size(); ++i) {
        const auto value = parseNumber(words[i]);
        if (!value)
            return fail(EXIT_USAGE, "post takes numbers");
        values[i] = *value;
    }
    return postToMain(options, static_cast<UINT>(values[0]), static_cast<WPARAM>(values[1]),
                      static_cast<LPARAM>(values[2]));
}

int commandTimer(Options& options) {
    return postToMain(options, WM_TIMER, TIMER_ID, 0);
}

int commandClose(Options& options) {
    return postToMain(options, WM_CLOSE, 0, 0);
}

int commandTray(Options& options) {
    const auto& words = options.positional();
    if (words.size() != 1)
        return fail(EXIT_USAGE, "tray needs a mouse message: lbuttondown, rbuttondown, "
                                "lbuttonup, lbuttondblclk or a number");
    LPARAM mouse = 0;
    if (words[0] == L"lbuttondown")
        mouse = WM_LBUTTONDOWN;
    else if (words[0] == L"lbuttonup")
        mouse = WM_LBUTTONUP;
    else if (words[0] == L"lbuttondblclk")
        mouse = WM_LBUTTONDBLCLK;
    else if (words[0] == L"rbuttondown")
        mouse = WM_RBUTTONDOWN;
    else if (const auto value = parseNumber(words[0]))
        mouse = static_cast<LPARAM>(*value);
    else
        return fail(EXIT_USAGE, "unknown mouse message");
    return postToMain(options, KPV_TRAY_CALLBACK, 0, mouse);
}

int commandSettle(Options& options) {
    const DWORD timeout = options.timeoutMs();
    return onMainWindow(options, Deadline(timeout), [&](HWND window) {
        return settle(window, timeout) ? EXIT_DONE
                                       : fail(EXIT_TIMED_OUT, "the main window did not answer");
    });
}

int commandVisible(Options& options) {
    const Deadline deadline(options.timeoutMs());
    return onMainWindow(options, deadline, [](HWND window) {
        const bool visible = IsWindowVisible(window) != 0;
        out(visible ? "visible\n" : "hidden\n");
        return visible ? EXIT_DONE : EXIT_HIDDEN;
    });
}

int commandGreyed(Options& options) {
    const Deadline deadline(options.timeoutMs());
    return onMainWindow(options, deadline, [](HWND window) {
        // Windows lets another process read a window's menus; Wine keeps them in the owner's
        // process, and then only the buttons can be told.
        HMENU bar = GetMenu(window);
        const int menus = bar != nullptr ? GetMenuItemCount(bar) : 0;
        if (bar != nullptr && menus < 0)
            out("menu (not readable from another process)\n");
        for (int m = 0; m < menus; ++m) {
            HMENU popup = GetSubMenu(bar, m);
            const int items = popup != nullptr ? GetMenuItemCount(popup) : 0;
            for (int i = 0; i < items; ++i) {
                const UINT id = GetMenuItemID(popup, i);
                const UINT state = GetMenuState(popup, static_cast<UINT>(i), MF_BYPOSITION);
                if (id != 0 && id != static_cast<UINT>(-1) && state != static_cast<UINT>(-1) &&
                    (state & (MF_GRAYED | MF_DISABLED)) != 0)
                    out(std::to_string(id) + "\n");
            }
        }
        for (int id : {IDC_ADD_USER, IDC_HIDE})
            if (!IsWindowEnabled(GetDlgItem(window, id)))
                out(std::to_string(id) + "\n");
        return EXIT_DONE;
    });
}

namespace {

int waitForVisibility(Options& options, bool wanted) {
    const Deadline deadline(options.timeoutMs());
    return onMainWindow(options, deadline, [&](HWND window) {
        while ((IsWindowVisible(window) != 0) != wanted) {
            if (deadline.passed())
                return fail(EXIT_TIMED_OUT, wanted ? "the main window stayed hidden"
                                                   : "the main window stayed visible");
            Sleep(50);
        }
        if (wanted && options.flag(L"foreground") && GetForegroundWindow() != window)
            return fail(EXIT_FAILED, "the main window is not the foreground window");
        return EXIT_DONE;
    });
}

void printMenu(HMENU menu, const std::string& path) {
    const int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        wchar_t text[256] = {};
        GetMenuStringW(menu, static_cast<UINT>(i), text, 256, MF_BYPOSITION);
        const UINT id = GetMenuItemID(menu, i);
        const std::string label = path + toUtf8(text);
        if (HMENU sub = GetSubMenu(menu, i)) {
            out("menu\t" + label + "\n");
            printMenu(sub, label + " > ");
        } else if (text[0] != L'\0') {
            out("menu\t" + label + "\t" + std::to_string(id) + "\n");
        }
    }
}

} // namespace

int commandWaitVisible(Options& options) {
    return waitForVisibility(options, true);
}
int commandWaitHidden(Options& options) {
    return waitForVisibility(options, false);
}

int commandTexts(Options& options) {
    const DWORD timeout = options.timeoutMs();
    const bool ofMain =
        !options.text(L"title") && !options.text(L"class") && options.all(L"child").empty();
    WindowQuery query = ofMain ? mainWindowQuery() : queryFromOptions(options);
    if (!options.ok())
        return fail(EXIT_USAGE, options.error());
    HWND window = waitForWindow(query, Deadline(timeout));
    if (window == nullptr)
        return fail(EXIT_TIMED_OUT, "no such window");
    out("caption\t" + escapeControls(toUtf8(windowText(window))) + "\n");
    for (HWND child : descendants(window)) {
        char id[16] = {};
        std::snprintf(id, sizeof id, "%d", GetDlgCtrlID(child));
        out(std::string(id) + "\t" + toUtf8(windowClass(child)) + "\t" +
            escapeControls(toUtf8(windowText(child))) + "\n");
    }
    if (HMENU menu = GetMenu(window)) {
        if (GetMenuItemCount(menu) < 0)
            out("menu\t(not readable from another process)\n");
        else
            printMenu(menu, "");
    }
    if (HWND list = findDescendant(window, IDC_ACCOUNT_LIST)) {
        if (const auto headers = readHeaders(list))
            for (const std::wstring& header : *headers)
                out("header\t" + toUtf8(header) + "\n");
    }
    return EXIT_DONE;
}

} // namespace kpv::automation
