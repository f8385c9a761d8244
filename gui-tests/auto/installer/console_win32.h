#pragma once
// Output, options and timing of the installer commands. Everything printed is UTF-8 and goes
// to the raw standard handles, so a redirected file holds exactly the bytes written.
#include "gui-tests/auto/options.h"
#include "gui-tests/auto/text.h"

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

using automation::toUtf8;

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

using automation::Options;

// The first plain word after the command, if any.
std::optional<std::wstring> firstWord(const Options& options);

} // namespace kpv::installcheck
