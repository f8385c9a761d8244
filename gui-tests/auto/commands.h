#pragma once
// The tool's commands. Each returns the process exit code:
//   0 done, 1 timed out (window or condition did not appear in time), 2 bad command line,
//   3 the action failed or a checked text differed, 4 the main window exists but is hidden
//   (command "visible" only).
#include <string>
#include <vector>

namespace kpv::automation {

constexpr int EXIT_DONE = 0;
constexpr int EXIT_TIMED_OUT = 1;
constexpr int EXIT_USAGE = 2;
constexpr int EXIT_FAILED = 3;
constexpr int EXIT_HIDDEN = 4;

// Runs the named command with the words that followed it.
int runCommand(const std::wstring& name, const std::vector<std::wstring>& words);

// The command summary printed for "help" and after a usage error.
const char* usageText();

} // namespace kpv::automation
