#pragma once
// The command line of the automation tool: a command word, then "--name value" options and
// "--flag" switches in any order. Values arrive as UTF-16 from the system's command line.
#include <windows.h>

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace kpv::automation {

class Options {
  public:
    // words: everything after the command word. flagNames: options that take no value.
    Options(const std::vector<std::wstring>& words, const std::vector<std::wstring>& flagNames);

    bool ok() const { return error_.empty(); }
    const std::string& error() const { return error_; }

    bool flag(const std::wstring& name) const;
    std::optional<std::wstring> text(const std::wstring& name) const;
    std::vector<std::wstring> all(const std::wstring& name) const;
    // A number option; nothing when absent. Sets the error when present but not a number.
    std::optional<std::int64_t> number(const std::wstring& name);
    const std::vector<std::wstring>& positional() const { return positional_; }

    // --timeout in milliseconds, 10000 when not given.
    DWORD timeoutMs();

  private:
    std::multimap<std::wstring, std::wstring> values_;
    std::vector<std::wstring> flags_;
    std::vector<std::wstring> positional_;
    std::string error_;
};

} // namespace kpv::automation
