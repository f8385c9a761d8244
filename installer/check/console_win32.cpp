#include "installer/check/console_win32.h"

#include <algorithm>
#include <cwchar>

namespace kpv::installcheck {

namespace {

void writeAll(DWORD which, std::string_view text) {
    HANDLE handle = GetStdHandle(which);
    while (!text.empty() && handle != INVALID_HANDLE_VALUE && handle != nullptr) {
        DWORD written = 0;
        auto chunk = static_cast<DWORD>(std::min<std::size_t>(text.size(), 1u << 20));
        if (!WriteFile(handle, text.data(), chunk, &written, nullptr) || written == 0)
            return;
        text.remove_prefix(written);
    }
}

// Options that take a value; every other "--word" is a flag.
bool takesValue(std::wstring_view word) {
    return word == L"--timeout" || word == L"--caption" || word == L"--contains" ||
           word == L"--press" || word == L"--run" || word == L"--until";
}

} // namespace

std::string toUtf8(std::wstring_view text) {
    if (text.empty())
        return {};
    const int size = static_cast<int>(text.size());
    int bytes = WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0)
        return {};
    std::string out(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), size, out.data(), bytes, nullptr, nullptr);
    return out;
}

void printLine(std::string_view text) {
    writeAll(STD_OUTPUT_HANDLE, std::string(text) + "\n");
}

void printError(std::string_view text) {
    writeAll(STD_ERROR_HANDLE, std::string(text) + "\n");
}

std::optional<std::wstring> Options::value(std::wstring_view name) const {
    for (std::size_t i = 0; i + 1 < words_.size(); ++i)
        if (words_[i] == name)
            return words_[i + 1];
    return std::nullopt;
}

bool Options::flag(std::wstring_view name) const {
    for (const std::wstring& word : words_)
        if (word == name)
            return true;
    return false;
}

DWORD Options::timeout() const {
    std::optional<std::wstring> text = value(L"--timeout");
    if (!text)
        return DEFAULT_TIMEOUT_MS;
    wchar_t* end = nullptr;
    unsigned long milliseconds = std::wcstoul(text->c_str(), &end, 10);
    return end != nullptr && *end == L'\0' ? static_cast<DWORD>(milliseconds) : DEFAULT_TIMEOUT_MS;
}

std::optional<std::wstring> Options::operand() const {
    for (std::size_t i = 0; i < words_.size(); ++i) {
        if (words_[i].starts_with(L"--")) {
            if (takesValue(words_[i]))
                ++i;
            continue;
        }
        return words_[i];
    }
    return std::nullopt;
}

} // namespace kpv::installcheck
