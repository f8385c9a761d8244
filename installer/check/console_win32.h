#pragma once
// Output, options and timing of the installer check tool. Everything printed is UTF-8 and goes
// to the raw standard handles, so a redirected file holds exactly the bytes written.
#include <windows.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kpv::installcheck {

constexpr int EXIT_OK = 0;
constexpr int EXIT_TIMEOUT = 1; // what was waited for did not happen in time
constexpr int EXIT_USAGE = 2;
constexpr int EXIT_FAILED = 3; // a file or window could not be read or driven

constexpr DWORD POLL_MS = 100;
constexpr DWORD DEFAULT_TIMEOUT_MS = 30000;

std::string toUtf8(std::wstring_view text);

// One line, ended by LF, to standard output or standard error.
void printLine(std::string_view text);
void printError(std::string_view text);

// The point in time at which a wait gives up.
class Deadline {
  public:
    explicit Deadline(DWORD milliseconds) : end_(GetTickCount64() + milliseconds) {}
    bool passed() const { return GetTickCount64() >= end_; }

  private:
    ULONGLONG end_;
};

// The words after the command: "--name value" pairs, flags and plain words, in any order.
class Options {
  public:
    explicit Options(std::vector<std::wstring> words) : words_(std::move(words)) {}

    // The word after --name; nothing when absent or last.
    std::optional<std::wstring> value(std::wstring_view name) const;
    bool flag(std::wstring_view name) const;
    // The --timeout value in milliseconds, or the default.
    DWORD timeout() const;
    // The first word that is neither an option nor an option's value.
    std::optional<std::wstring> operand() const;
    const std::vector<std::wstring>& words() const { return words_; }

  private:
    std::vector<std::wstring> words_;
};

} // namespace kpv::installcheck
