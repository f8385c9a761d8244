#pragma once
// The command line of the automation tool: a command word, then its "--name value" options,
// "--flag" switches and plain words, in any order. CLI11 parses it against each command's
// declared options (and answers --help); values keep the UTF-16 of the system's command line.
#include <windows.h>

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace kpv::automation {

// What one command accepts. Every command but a pass-through one also takes --timeout MS.
struct CommandShape {
    std::string name;
    std::string summary{};             // its line in --help
    std::vector<std::string> values{}; // --NAME VALUE options, each repeatable
    std::vector<std::string> flags{};  // --NAME switches
    std::string words{};               // what its plain words are ("" when it takes none)
    bool passThrough = false;          // every word after the command is its own (as-user)
};

class Options {
  public:
    Options() = default;

    void addValue(const std::wstring& name, const std::wstring& value);
    void addFlag(const std::wstring& name);
    void addWord(const std::wstring& word);

    bool ok() const { return error_.empty(); }
    const std::string& error() const { return error_; }

    bool flag(const std::wstring& name) const;
    std::optional<std::wstring> text(const std::wstring& name) const;
    std::vector<std::wstring> all(const std::wstring& name) const;
    // A number option; nothing when absent. Sets the error when present but not a number.
    std::optional<std::int64_t> number(const std::wstring& name);
    const std::vector<std::wstring>& positional() const { return positional_; }

    // --timeout in milliseconds, fallback when not given.
    DWORD timeoutMs(DWORD fallback = 10000);

  private:
    std::multimap<std::wstring, std::wstring> values_;
    std::vector<std::wstring> flags_;
    std::vector<std::wstring> positional_;
    std::string error_;
};

struct ParsedCommandLine {
    std::optional<std::size_t> command; // index of the command to run; nothing: just exit
    Options options;
    int exitCode = 0;    // without a command: 0 after --help, 2 after a usage error
    std::string message; // the help text or the usage error, to print
};

// Parses the words after the program name (UTF-8) against the commands; "help" is --help.
ParsedCommandLine parseCommandLine(std::vector<std::string> words,
                                   const std::vector<CommandShape>& commands,
                                   const std::string& description, const std::string& footer);

} // namespace kpv::automation
