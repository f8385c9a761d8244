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

// Parses the words after the program name (UTF-8) and runs the command they name; prints the
// help for --help (or "help") and the reason for a bad command line.
int runCommandLine(std::vector<std::string> words);

} // namespace kpv::automation
