#include "net/system_text_win32.h"

#include <windows.h>

namespace kpv::win32 {

std::wstring wideFromUtf8(const std::string& text) {
    if (text.empty() || text.size() > 0x7FFFFFFF)
        return {};
    const int size = static_cast<int>(text.size());
    const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
    if (length <= 0)
        return {};
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), size, wide.data(), length);
    return wide;
}

std::string utf8FromWide(const wchar_t* text, std::size_t length) {
    if (text == nullptr || length == 0 || length > 0x7FFFFFFF)
        return {};
    const int size = static_cast<int>(length);
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text, size, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0)
        return {};
    std::string narrow(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, size, narrow.data(), bytes, nullptr, nullptr);
    return narrow;
}

std::string systemMessage(std::uint32_t code, const wchar_t* module) {
    wchar_t buffer[512] = {};
    DWORD flags = FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
    HMODULE source = module != nullptr ? GetModuleHandleW(module) : nullptr;
    if (source != nullptr)
        flags |= FORMAT_MESSAGE_FROM_HMODULE;
    DWORD length = FormatMessageW(flags, source, code, 0, buffer, 512, nullptr);
    if (length == 0 || length >= 512)
        return {};
    // One line: the system's texts end in CR LF and a few span several lines.
    std::wstring line;
    for (DWORD i = 0; i < length; ++i) {
        const wchar_t c = buffer[i];
        const bool space = c == L'\r' || c == L'\n' || c == L'\t';
        if (space) {
            if (!line.empty() && line.back() != L' ')
                line.push_back(L' ');
        } else {
            line.push_back(c);
        }
    }
    while (!line.empty() && (line.back() == L' ' || line.back() == L'.'))
        line.pop_back();
    return utf8FromWide(line.data(), line.size());
}

std::string describeError(std::uint32_t code, const wchar_t* module, const char* fallback) {
    std::string text = systemMessage(code, module);
    if (text.empty())
        text = fallback;
    return text + " (" + std::to_string(code) + ")";
}

} // namespace kpv::win32
