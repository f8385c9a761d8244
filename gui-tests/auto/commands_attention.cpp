// Commands that read what the client shows about attention: the tooltip of its tray icon and
// the colour in which a row of its list is drawn.
//
// The tray record itself cannot be read from outside. Wine's notification area, though, gives
// every icon a window of its own with an ordinary tooltip control that holds the icon's tip
// (also when no one can see the icon, as under Xvfb), so the tip reads back through the
// tooltip messages, with the text buffer in the owner's memory as for the list view. The
// colour of a row is read from the screen, as the user would see it.
#include "gui-tests/auto/command_support.h"
#include "gui-tests/auto/commands.h"
#include "gui-tests/auto/list_view.h"
#include "gui-tests/auto/remote_memory.h"
#include "gui-tests/auto/text.h"
#include "gui-tests/auto/window_finder.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <map>

namespace kpv::automation {

namespace {

constexpr DWORD ANSWER_TIMEOUT_MS = 5000;
constexpr std::size_t TIP_CHARS = 1024;
constexpr std::size_t TIP_OFFSET = 512; // room for the tool record before the text

// Wine 8's X11 driver keeps each icon in a window of class "__winex11_tray_icon"; later
// versions draw them in the explorer, class "__wine_tray_icon".
bool isTrayIconWindow(HWND window) {
    const std::wstring name = windowClass(window);
    const std::wstring suffix = L"_tray_icon";
    return name.size() > suffix.size() &&
           name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// The texts of the tools of one tooltip control that belong to tray icons.
void readTrayTips(HWND tooltip, std::vector<std::wstring>& tips) {
    const auto count = sendWithin(tooltip, TTM_GETTOOLCOUNT, 0, 0, ANSWER_TIMEOUT_MS);
    if (!count || *count <= 0)
        return;
    auto remote = RemoteBuffer::allocate(tooltip, TIP_OFFSET + TIP_CHARS * sizeof(wchar_t));
    if (!remote)
        return;
    for (LRESULT i = 0; i < *count; ++i) {
        TTTOOLINFOW tool{};
        tool.cbSize = sizeof tool;
        if (!remote->write(0, &tool, sizeof tool) ||
            !sendWithin(tooltip, TTM_ENUMTOOLSW, static_cast<WPARAM>(i), remote->at(0),
                        ANSWER_TIMEOUT_MS) ||
            !remote->read(0, &tool, sizeof tool))
            continue;
        if (!isTrayIconWindow(tool.hwnd))
            continue;
        tool.lpszText = reinterpret_cast<LPWSTR>(remote->at(TIP_OFFSET));
        const wchar_t empty = L'\0';
        std::wstring text(TIP_CHARS, L'\0');
        if (!remote->write(TIP_OFFSET, &empty, sizeof empty) ||
            !remote->write(0, &tool, sizeof tool) ||
            !sendWithin(tooltip, TTM_GETTEXTW, TIP_CHARS, remote->at(0), ANSWER_TIMEOUT_MS) ||
            !remote->read(TIP_OFFSET, text.data(), (TIP_CHARS - 1) * sizeof(wchar_t)))
            continue;
        text.resize(text.find(L'\0'));
        tips.push_back(text);
    }
}

std::vector<std::wstring> trayTips() {
    WindowQuery query;
    query.className = L"tooltips_class32";
    query.visibleOnly = false;
    std::vector<std::wstring> tips;
    for (HWND tooltip : findWindows(query))
        readTrayTips(tooltip, tips);
    return tips;
}

// The colour most pixels of the rectangle (screen coordinates) have on screen.
std::optional<COLORREF> dominantColour(const RECT& area) {
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    if (width <= 0 || height <= 0)
        return std::nullopt;
    HDC screen = GetDC(nullptr);
    if (screen == nullptr)
        return std::nullopt;
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    const bool copied = BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY);
    std::map<COLORREF, int> counts;
    for (int y = 0; copied && y < height; ++y)
        for (int x = 0; x < width; ++x)
            ++counts[GetPixel(memory, x, y)];
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    if (counts.empty())
        return std::nullopt;
    auto best = counts.begin();
    for (auto it = counts.begin(); it != counts.end(); ++it)
        if (it->second > best->second)
            best = it;
    return best->first;
}

std::optional<RECT> rowRectangle(HWND list, int row) {
    auto remote = RemoteBuffer::allocate(list, sizeof(RECT));
    RECT bounds{};
    bounds.left = LVIR_BOUNDS;
    if (!remote || !remote->write(0, &bounds, sizeof bounds))
        return std::nullopt;
    const auto ok = sendWithin(list, LVM_GETITEMRECT, static_cast<WPARAM>(row), remote->at(0),
                               ANSWER_TIMEOUT_MS);
    if (!ok || *ok == 0 || !remote->read(0, &bounds, sizeof bounds))
        return std::nullopt;
    RECT client{};
    GetClientRect(list, &client);
    IntersectRect(&bounds, &bounds, &client); // only what can be seen
    MapWindowPoints(list, nullptr, reinterpret_cast<POINT*>(&bounds), 2);
    return bounds;
}

} // namespace

int commandTrayTip(Options& options) {
    const DWORD timeout = options.timeoutMs();
    const auto expected = options.text(L"expect");
    const auto start = options.text(L"starts");
    if (!options.ok())
        return fail(EXIT_USAGE, options.error());
    // Compared as printed, so a case passes the line break as the two characters \n.
    const auto printed = [] {
        std::vector<std::string> lines;
        for (const std::wstring& tip : trayTips())
            lines.push_back(escapeControls(toUtf8(tip)));
        return lines;
    };
    const auto found = [&](const std::vector<std::string>& lines) {
        for (const std::string& line : lines)
            if ((expected && line == toUtf8(*expected)) ||
                (start && line.rfind(toUtf8(*start), 0) == 0))
                return true;
        return false;
    };
    const Deadline deadline(timeout);
    std::vector<std::string> tips = printed();
    // The tip changes when the client's update ends: wait for the expected one.
    const bool wanted = expected || start;
    while (wanted && !found(tips) && !deadline.passed()) {
        Sleep(100);
        tips = printed();
    }
    for (const std::string& tip : tips)
        out(tip + "\n");
    if (tips.empty())
        return fail(EXIT_FAILED, "no tray icon tooltip found");
    if (wanted && !found(tips))
        return fail(EXIT_FAILED, "no tray icon has the expected tooltip");
    return EXIT_DONE;
}

int commandTaskbarCreated(Options& options) {
    const DWORD timeout = options.timeoutMs();
    return onMainWindow(options, Deadline(timeout), [&](HWND window) {
        // A registered message has the same id in every process.
        const UINT message = RegisterWindowMessageW(L"TaskbarCreated");
        if (message == 0 || !PostMessageW(window, message, 0, 0))
            return fail(EXIT_FAILED, "could not post TaskbarCreated");
        return settle(window, timeout) ? EXIT_DONE : fail(EXIT_TIMED_OUT, "no answer");
    });
}

int commandRowColour(Options& options) {
    const DWORD timeout = options.timeoutMs();
    const auto id = options.number(L"id");
    if (!options.ok() || !id)
        return fail(EXIT_USAGE, "row-colour needs --id N");
    return onMainWindow(options, Deadline(timeout), [&](HWND window) {
        HWND list = accountList(window);
        const auto rows = readRows(list);
        if (!rows)
            return fail(EXIT_FAILED, "could not read the rows");
        for (std::size_t row = 0; row < rows->size(); ++row) {
            if ((*rows)[row].itemData != static_cast<LPARAM>(*id))
                continue;
            const auto area = rowRectangle(list, static_cast<int>(row));
            const auto colour = area ? dominantColour(*area) : std::nullopt;
            if (!colour)
                return fail(EXIT_FAILED, "could not read the row's pixels");
            char hex[8];
            std::snprintf(hex, sizeof hex, "%02X%02X%02X", GetRValue(*colour), GetGValue(*colour),
                          GetBValue(*colour));
            out(std::string(hex) + "\n");
            return EXIT_DONE;
        }
        return fail(EXIT_FAILED, "no row has that item data");
    });
}

} // namespace kpv::automation
