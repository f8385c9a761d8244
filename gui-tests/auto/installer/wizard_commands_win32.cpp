// Commands about the installer and uninstaller as a user meets them: their message boxes and
// wizard pages.
#include "gui-tests/auto/installer/commands_win32.h"
#include "gui-tests/auto/installer/window_lookup_win32.h"

#include <string>
#include <utility>

namespace kpv::installcheck {

namespace {

constexpr ULONGLONG NEXT_INTERVAL_MS = 500;

// The button id that answers a box: --press retry|cancel|ok|yes|no, or 0 for none.
int answerId(Options& options, bool& known) {
    const std::wstring press = options.text(L"press").value_or(L"none");
    known = true;
    if (press == L"retry")
        return IDRETRY;
    if (press == L"cancel")
        return IDCANCEL;
    if (press == L"ok")
        return IDOK;
    if (press == L"yes")
        return IDYES;
    if (press == L"no")
        return IDNO;
    known = press == L"none";
    return 0;
}

// Clicks the wizard's Next or Install button when it is enabled; the wizard ignores a click
// while a page is busy.
void pressNext(HWND wizard, ULONGLONG& lastPress) {
    HWND next = GetDlgItem(wizard, IDOK);
    const ULONGLONG now = GetTickCount64();
    if (next == nullptr || !IsWindowEnabled(next) || now - lastPress < NEXT_INTERVAL_MS)
        return;
    PostMessageW(wizard, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(next));
    lastPress = now;
}

// The check box below wizard whose text is label; null when the page shows none.
HWND findCheckBox(HWND wizard, const std::wstring& label) {
    HWND found = nullptr;
    std::pair<const std::wstring*, HWND*> wanted(&label, &found);
    EnumChildWindows(
        wizard,
        [](HWND child, LPARAM context) -> BOOL {
            auto* sought = reinterpret_cast<std::pair<const std::wstring*, HWND*>*>(context);
            if (windowClass(child) == L"Button" && IsWindowVisible(child) &&
                controlText(child) == *sought->first) {
                *sought->second = child;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&wanted));
    return found;
}

// Clicks Next until the wizard is gone; false when it stays open past the deadline.
bool clickUntilClosed(HWND wizard, const Deadline& deadline) {
    ULONGLONG lastPress = 0;
    while (IsWindow(wizard)) {
        pressNext(wizard, lastPress);
        if (deadline.passed())
            return false;
        Sleep(POLL_MS);
    }
    return true;
}

} // namespace

// Waits for a message box captioned --caption whose text holds --contains, prints it as
// "box <text>" and answers it with --press. With --next, clicks through the wizard of the same
// caption meanwhile, so the box can be reached from the first page.
int commandBox(Options& options) {
    const std::optional<std::wstring> caption = options.text(L"caption");
    const std::wstring wanted = options.text(L"contains").value_or(L"");
    bool known = false;
    const int answer = answerId(options, known);
    if (!caption || !known) {
        printError("box needs --caption TEXT and --press retry|cancel|ok|yes|no|none");
        return EXIT_USAGE;
    }
    Deadline deadline(options.timeoutMs(DEFAULT_TIMEOUT_MS));
    ULONGLONG lastPress = 0;
    for (;;) {
        if (HWND box = findMessageBox(*caption)) {
            const std::wstring text = controlText(findDescendant(box, MESSAGE_TEXT_ID));
            if (text.find(wanted) != std::wstring::npos) {
                printLine("box " + toUtf8(text));
                if (answer == 0)
                    return EXIT_OK;
                PostMessageW(box, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED), 0);
                while (IsWindow(box)) {
                    if (deadline.passed()) {
                        printError("the box stays open");
                        return EXIT_TIMEOUT;
                    }
                    Sleep(POLL_MS);
                }
                return EXIT_OK;
            }
        }
        if (options.flag(L"next"))
            if (HWND wizard = findWizard(*caption))
                pressNext(wizard, lastPress);
        if (deadline.passed()) {
            printError("no such message box");
            return EXIT_TIMEOUT;
        }
        Sleep(POLL_MS);
    }
}

// Waits for the wizard captioned --caption to reach its finish page (with --next clicking
// through the pages before it), sets the page's "start now" box to --run yes|no, clicks Finish
// and waits for the wizard to close.
int commandFinish(Options& options) {
    const std::optional<std::wstring> caption = options.text(L"caption");
    const std::wstring run = options.text(L"run").value_or(L"");
    if (!caption || (run != L"yes" && run != L"no")) {
        printError("finish needs --caption TEXT and --run yes|no");
        return EXIT_USAGE;
    }
    Deadline deadline(options.timeoutMs(DEFAULT_TIMEOUT_MS));
    HWND wizard = nullptr;
    HWND runBox = nullptr;
    ULONGLONG lastPress = 0;
    while ((wizard = findWizard(*caption)) == nullptr ||
           (runBox = findDescendant(wizard, FINISH_RUN_BOX_ID)) == nullptr) {
        if (deadline.passed()) {
            printError("the wizard did not reach its finish page");
            return EXIT_TIMEOUT;
        }
        if (wizard != nullptr && options.flag(L"next"))
            pressNext(wizard, lastPress);
        Sleep(POLL_MS);
    }
    // Set even when the page hides the box: a hidden box must not start anything either.
    SendMessageW(runBox, BM_SETCHECK, run == L"yes" ? BST_CHECKED : BST_UNCHECKED, 0);
    if (!clickUntilClosed(wizard, deadline)) {
        printError("the wizard stays open");
        return EXIT_TIMEOUT;
    }
    printLine("finished");
    return EXIT_OK;
}

// Waits for the wizard captioned --caption and, with --tick, for its check box labelled so,
// which it ticks ("ticked"); then clicks Next on every page until the wizard closes.
int commandClickThrough(Options& options) {
    const std::optional<std::wstring> caption = options.text(L"caption");
    const std::optional<std::wstring> tick = options.text(L"tick");
    if (!caption) {
        printError("click-through needs --caption TEXT");
        return EXIT_USAGE;
    }
    Deadline deadline(options.timeoutMs(DEFAULT_TIMEOUT_MS));
    HWND wizard = nullptr;
    HWND box = nullptr;
    while ((wizard = findWizard(*caption)) == nullptr ||
           (tick && (box = findCheckBox(wizard, *tick)) == nullptr)) {
        if (deadline.passed()) {
            printError(tick ? "no wizard page with that check box" : "no such wizard");
            return EXIT_TIMEOUT;
        }
        Sleep(POLL_MS);
    }
    if (box != nullptr) {
        SendMessageW(box, BM_SETCHECK, BST_CHECKED, 0);
        printLine("ticked");
    }
    if (!clickUntilClosed(wizard, deadline)) {
        printError("the wizard stays open");
        return EXIT_TIMEOUT;
    }
    printLine("finished");
    return EXIT_OK;
}

} // namespace kpv::installcheck
