#include "gui-tests/auto/options.h"

#include "gui-tests/auto/text.h"

#include <algorithm>

namespace kpv::automation {

Options::Options(const std::vector<std::wstring>& words,
                 const std::vector<std::wstring>& flagNames) {
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::wstring& word = words[i];
        if (word.size() < 3 || word.compare(0, 2, L"--") != 0) {
            positional_.push_back(word);
            continue;
        }
        const std::wstring name = word.substr(2);
        if (std::find(flagNames.begin(), flagNames.end(), name) != flagNames.end()) {
            flags_.push_back(name);
        } else if (i + 1 < words.size()) {
            values_.emplace(name, words[++i]);
        } else {
            error_ = "option --" + toUtf8(name) + " needs a value";
        }
    }
}

bool Options::flag(const std::wstring& name) const {
    return std::find(flags_.begin(), flags_.end(), name) != flags_.end();
}

std::optional<std::wstring> Options::text(const std::wstring& name) const {
    const auto found = values_.find(name);
    if (found == values_.end())
        return std::nullopt;
    return found->second;
}

std::vector<std::wstring> Options::all(const std::wstring& name) const {
    std::vector<std::wstring> result;
    const auto range = values_.equal_range(name);
    for (auto it = range.first; it != range.second; ++it)
        result.push_back(it->second);
    return result;
}

std::optional<std::int64_t> Options::number(const std::wstring& name) {
    const auto value = text(name);
    if (!value)
        return std::nullopt;
    const auto parsed = parseNumber(*value);
    if (!parsed)
        error_ = "option --" + toUtf8(name) + " needs a number";
    return parsed;
}

DWORD Options::timeoutMs() {
    const auto value = number(L"timeout");
    if (!value)
        return 10000;
    if (*value < 0 || *value > 3600000) {
        error_ = "--timeout must be 0 to 3600000 ms";
        return 0;
    }
    return static_cast<DWORD>(*value);
}

} // namespace kpv::automation
