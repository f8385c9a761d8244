#include "gui-tests/auto/installer/console_win32.h"

#include <algorithm>

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

} // namespace

void printLine(std::string_view text) {
    writeAll(STD_OUTPUT_HANDLE, std::string(text) + "\n");
}

void printError(std::string_view text) {
    writeAll(STD_ERROR_HANDLE, std::string(text) + "\n");
}

std::optional<std::wstring> firstWord(const Options& options) {
    if (options.positional().empty())
        return std::nullopt;
    return options.positional().front();
}

} // namespace kpv::installcheck
