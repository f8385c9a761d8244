#include "core/policy.h"

#include <windows.h>

#include <vector>

namespace kpv {
namespace {

constexpr const wchar_t* POLICY_KEY = L"SOFTWARE\\Policies\\Kopiavakt";

std::wstring wideName(const char* name) {
    std::wstring wide;
    for (const char* c = name; *c != '\0'; ++c)
        wide.push_back(static_cast<unsigned char>(*c)); // value names are ASCII
    return wide;
}

std::optional<std::string> readText(HKEY root, const std::wstring& name) {
    DWORD bytes = 0;
    const DWORD flags = RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND;
    if (RegGetValueW(root, POLICY_KEY, name.c_str(), flags, nullptr, nullptr, &bytes) !=
            ERROR_SUCCESS ||
        bytes < sizeof(wchar_t))
        return std::nullopt;
    std::vector<wchar_t> wide(bytes / sizeof(wchar_t) + 1, L'\0');
    bytes = static_cast<DWORD>(wide.size() * sizeof(wchar_t));
    if (RegGetValueW(root, POLICY_KEY, name.c_str(), flags, nullptr, wide.data(), &bytes) !=
        ERROR_SUCCESS)
        return std::nullopt;
    const int length =
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), -1, nullptr, 0, nullptr, nullptr);
    if (length <= 1)
        return std::nullopt;
    std::string text(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), -1, text.data(), length, nullptr, nullptr);
    text.resize(static_cast<std::size_t>(length - 1));
    return text;
}

std::optional<std::uint32_t> readNumber(HKEY root, const std::wstring& name) {
    DWORD value = 0;
    DWORD bytes = sizeof value;
    if (RegGetValueW(root, POLICY_KEY, name.c_str(), RRF_RT_REG_DWORD, nullptr, &value, &bytes) !=
        ERROR_SUCCESS)
        return std::nullopt;
    return value;
}

class RegistryPolicy final : public PolicySource {
  public:
    std::optional<std::string> text(const char* name) const override {
        const std::wstring wide = wideName(name);
        if (auto machine = readText(HKEY_LOCAL_MACHINE, wide))
            return machine;
        return readText(HKEY_CURRENT_USER, wide);
    }

    std::optional<std::uint32_t> number(const char* name) const override {
        const std::wstring wide = wideName(name);
        if (auto machine = readNumber(HKEY_LOCAL_MACHINE, wide))
            return machine;
        return readNumber(HKEY_CURRENT_USER, wide);
    }
};

} // namespace

const PolicySource& systemPolicy() {
    static const RegistryPolicy registry;
    return registry;
}

} // namespace kpv
