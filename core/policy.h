#pragma once
// Values an administrator sets by group policy. On Windows they are read from
// HKLM\SOFTWARE\Policies\Kopiavakt, then HKCU\SOFTWARE\Policies\Kopiavakt (the machine's value
// wins); other platforms have none. Every read goes to the source afresh: callers read once at
// start-up, or when a dialog opens, and keep what they need.
#include <cstdint>
#include <map>
#include <optional>
#include <string>

namespace kpv {

class PolicySource {
  public:
    virtual ~PolicySource() = default;

    // A REG_SZ (or REG_EXPAND_SZ, not expanded) value in UTF-8; nothing when neither key holds
    // the value, it has another type, or it is empty.
    virtual std::optional<std::string> text(const char* name) const = 0;
    // A REG_DWORD value; nothing when neither key holds it or it has another type.
    virtual std::optional<std::uint32_t> number(const char* name) const = 0;
};

// The system's policy: the registry on Windows, an empty source elsewhere. Lives for the run.
const PolicySource& systemPolicy();

// A source of fixed values, for tests and for platforms without policy.
class FixedPolicy final : public PolicySource {
  public:
    FixedPolicy& setText(const std::string& name, const std::string& value);
    FixedPolicy& setNumber(const std::string& name, std::uint32_t value);

    std::optional<std::string> text(const char* name) const override;
    std::optional<std::uint32_t> number(const char* name) const override;

  private:
    std::map<std::string, std::string> texts_;
    std::map<std::string, std::uint32_t> numbers_;
};

} // namespace kpv
