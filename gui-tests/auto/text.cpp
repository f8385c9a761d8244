#include "gui-tests/auto/text.h"

#include <windows.h>

#include <cwchar>

namespace kpv::automation {

std::string toUtf8(std::wstring_view text) {
    if (text.empty())
        return {};
    const int wideLength = static_cast<int>(text.size());
    const int length =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), wideLength, nullptr, 0, nullptr, nullptr);
    if (length <= 0)
        return {};
    std::string result(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), wideLength, result.data(), length, nullptr,
                        nullptr);
    return result;
}

std::wstring fromUtf8(std::string_view text) {
    if (text.empty())
        return {};
    const int narrowLength = static_cast<int>(text.size());
    const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), narrowLength, nullptr, 0);
    if (length <= 0)
        return {};
    std::wstring result(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), narrowLength, result.data(), length);
    return result;
}

namespace {

void writeAll(DWORD which, std::string_view text) {
    HANDLE handle = GetStdHandle(which);
    while (!text.empty() && handle != INVALID_HANDLE_VALUE && handle != nullptr) {
        DWORD written = 0;
        const DWORD chunk = static_cast<DWORD>(text.size() > 65536 ? 65536 : text.size());
        if (!WriteFile(handle, text.data(), chunk, &written, nullptr) || written == 0)
            return;
        text.remove_prefix(written);
    }
}

} // namespace

void out(std::string_view text) {
    writeAll(STD_OUTPUT_HANDLE, text);
}
void err(std::string_view text) {
    writeAll(STD_ERROR_HANDLE, text);
}

std::optional<std::int64_t> parseNumber(std::wstring_view text) {
    if (text.empty() || text.size() > 20)
        return std::nullopt;
    std::wstring copy(text);
    wchar_t* end = nullptr;
    const long long value = std::wcstoll(copy.c_str(), &end, 0);
    if (end == copy.c_str() || *end != L'\0')
        return std::nullopt;
    return static_cast<std::int64_t>(value);
}

std::string escapeControls(std::string_view text) {
    std::string result;
    result.reserve(text.size());
    for (char c : text) {
        if (c == '\t')
            result += "\\t";
        else if (c == '\r')
            result += "\\r";
        else if (c == '\n')
            result += "\\n";
        else
            result += c;
    }
    return result;
}

} // namespace kpv::automation
