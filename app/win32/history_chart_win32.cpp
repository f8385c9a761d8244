#include "app/win32/history_chart_win32.h"

#include "app/win32/text_win32.h"
#include "status/column_text.h"

#include <algorithm>
#include <string>

namespace kpv {

namespace {

// Told apart by more than hue: the size is a thick solid line with squares, the file count a
// thin line with round points, an anomaly a red bar across the whole height with a triangle.
constexpr COLORREF SIZE_COLOUR = RGB(0x15, 0x65, 0xC0);
constexpr COLORREF FILES_COLOUR = RGB(0x2E, 0x7D, 0x32);
constexpr COLORREF ANOMALY_COLOUR = RGB(0xC6, 0x28, 0x28);
constexpr COLORREF AXIS_COLOUR = RGB(0x60, 0x60, 0x60);

class GdiObject {
  public:
    GdiObject(HDC dc, HGDIOBJ object) noexcept
        : dc_(dc), object_(object),
          previous_(object != nullptr ? SelectObject(dc, object) : nullptr) {}
    GdiObject(const GdiObject&) = delete;
    GdiObject& operator=(const GdiObject&) = delete;
    ~GdiObject() {
        if (previous_ != nullptr)
            SelectObject(dc_, previous_);
        if (object_ != nullptr)
            DeleteObject(object_);
    }

  private:
    HDC dc_;
    HGDIOBJ object_;
    HGDIOBJ previous_;
};

int scaled(int pixels, int dpi) {
    return MulDiv(pixels, dpi, 96);
}

void text(HDC dc, int x, int y, const std::wstring& line, COLORREF colour, UINT align = TA_LEFT) {
    SetTextColor(dc, colour);
    SetTextAlign(dc, align | TA_TOP);
    TextOutW(dc, x, y, line.c_str(), static_cast<int>(line.size()));
}

std::wstring ansiText(const SecureBuffer& ansi) {
    if (ansi.empty())
        return {};
    const int length = MultiByteToWideChar(CP_ACP, 0, ansi.text(), -1, nullptr, 0);
    if (length <= 1)
        return {};
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, ansi.text(), -1, wide.data(), length);
    wide.resize(static_cast<std::size_t>(length - 1));
    return wide;
}

int widthOf(HDC dc, const std::wstring& line) {
    SIZE size{};
    GetTextExtentPoint32W(dc, line.c_str(), static_cast<int>(line.size()), &size);
    return size.cx;
}

// A legend entry: a sample of the series' mark, then its name; returns the x after it.
int legend(HDC dc, int x, int y, int lineHeight, COLORREF colour, const char* utf8Name, int dpi) {
    const int box = lineHeight / 2;
    HBRUSH brush = CreateSolidBrush(colour);
    RECT sample{x, y + box / 2, x + box, y + box / 2 + box};
    FillRect(dc, &sample, brush);
    DeleteObject(brush);
    const std::wstring name = widenUtf8(utf8Name);
    text(dc, x + box + scaled(4, dpi), y, name, AXIS_COLOUR);
    return x + box + scaled(4, dpi) + widthOf(dc, name) + scaled(14, dpi);
}

} // namespace

void drawHistoryChart(HDC dc, const RECT& area, const AccountHistory::Records& records,
                      const std::vector<unsigned>& raised, int dpi) {
    FillRect(dc, &area, GetSysColorBrush(COLOR_WINDOW));
    SetBkMode(dc, TRANSPARENT);
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    const int lineHeight = metrics.tmHeight > 0 ? metrics.tmHeight : scaled(13, dpi);
    const int gap = scaled(6, dpi);

    int x = area.left + gap;
    x = legend(dc, x, area.top + gap / 2, lineHeight, SIZE_COLOUR, "Total storlek", dpi);
    x = legend(dc, x, area.top + gap / 2, lineHeight, FILES_COLOUR, "Antal filer", dpi);
    (void)legend(dc, x, area.top + gap / 2, lineHeight, ANOMALY_COLOUR, "Avvikelse", dpi);

    const RECT plot{area.left + gap, area.top + lineHeight * 2 + gap, area.right - gap,
                    area.bottom - lineHeight - gap};
    if (plot.right - plot.left < 10 || plot.bottom - plot.top < 10)
        return;
    {
        GdiObject pen(dc, CreatePen(PS_SOLID, 1, AXIS_COLOUR));
        MoveToEx(dc, plot.left, plot.top, nullptr);
        LineTo(dc, plot.left, plot.bottom);
        LineTo(dc, plot.right, plot.bottom);
    }
    if (records.empty()) {
        text(dc, (plot.left + plot.right) / 2, (plot.top + plot.bottom) / 2 - lineHeight / 2,
             widenUtf8("Ingen historik ännu"), AXIS_COLOUR, TA_CENTER);
        return;
    }

    std::uint64_t maxSize = 1;
    std::uint32_t maxFiles = 1;
    for (const HistoryRecord& record : records) {
        maxSize = std::max(maxSize, record.totalSize);
        maxFiles = std::max(maxFiles, record.fileCount);
    }
    const std::uint32_t first = records.front().timeSeen;
    const std::uint32_t span =
        records.back().timeSeen > first ? records.back().timeSeen - first : 0;
    const int width = plot.right - plot.left - gap * 2;
    const int height = plot.bottom - plot.top - gap;
    const auto xOf = [&](const HistoryRecord& record) {
        if (span == 0)
            return plot.left + gap + width / 2;
        return plot.left + gap +
               static_cast<int>(double(record.timeSeen - first) * width / double(span));
    };
    const auto yOfSize = [&](const HistoryRecord& record) {
        return plot.bottom - static_cast<int>(double(record.totalSize) * height / double(maxSize));
    };
    const auto yOfFiles = [&](const HistoryRecord& record) {
        return plot.bottom - static_cast<int>(double(record.fileCount) * height / double(maxFiles));
    };

    // The anomalies first, so both lines stay readable over them.
    {
        GdiObject pen(dc, CreatePen(PS_SOLID, scaled(2, dpi), ANOMALY_COLOUR));
        GdiObject brush(dc, CreateSolidBrush(ANOMALY_COLOUR));
        const int mark = scaled(5, dpi);
        for (std::size_t i = 0; i < records.size() && i < raised.size(); ++i) {
            if (raised[i] == 0)
                continue;
            const int at = xOf(records[i]);
            MoveToEx(dc, at, plot.top, nullptr);
            LineTo(dc, at, plot.bottom);
            const POINT triangle[3] = {
                {at - mark, plot.top}, {at + mark, plot.top}, {at, plot.top + mark * 2}};
            Polygon(dc, triangle, 3);
        }
    }
    const auto series = [&](COLORREF colour, int penWidth, bool squares, auto yOf) {
        GdiObject pen(dc, CreatePen(PS_SOLID, penWidth, colour));
        GdiObject brush(dc, CreateSolidBrush(colour));
        const int point = scaled(3, dpi);
        for (std::size_t i = 0; i < records.size(); ++i) {
            const int px = xOf(records[i]);
            const int py = yOf(records[i]);
            if (i == 0)
                MoveToEx(dc, px, py, nullptr);
            else
                LineTo(dc, px, py);
        }
        for (const HistoryRecord& record : records) {
            const int px = xOf(record);
            const int py = yOf(record);
            if (squares)
                Rectangle(dc, px - point, py - point, px + point, py + point);
            else
                Ellipse(dc, px - point, py - point, px + point, py + point);
        }
    };
    series(SIZE_COLOUR, scaled(3, dpi), true, yOfSize);
    series(FILES_COLOUR, scaled(1, dpi), false, yOfFiles);

    // The scales: the largest size at the top left, the largest file count at the top right,
    // the first and last day seen below the axis.
    text(dc, plot.left + gap, plot.top - lineHeight, ansiText(formatSize(maxSize)), SIZE_COLOUR);
    text(dc, plot.right, plot.top - lineHeight,
         ansiText(formatDecimal(maxFiles)) + widenUtf8(" filer"), FILES_COLOUR, TA_RIGHT);
    text(dc, plot.left, plot.bottom + 2, ansiText(formatDateTime(first)), AXIS_COLOUR);
    if (span != 0)
        text(dc, plot.right, plot.bottom + 2, ansiText(formatDateTime(records.back().timeSeen)),
             AXIS_COLOUR, TA_RIGHT);
}

} // namespace kpv
