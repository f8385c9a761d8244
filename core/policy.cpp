#include "core/policy.h"

namespace kpv {

FixedPolicy& FixedPolicy::setText(const std::string& name, const std::string& value) {
    texts_[name] = value;
    return *this;
}

FixedPolicy& FixedPolicy::setNumber(const std::string& name, std::uint32_t value) {
    numbers_[name] = value;
    return *this;
}

std::optional<std::string> FixedPolicy::text(const char* name) const {
    const auto found = texts_.find(name);
    if (found == texts_.end() || found->second.empty())
        return std::nullopt;
    return found->second;
}

std::optional<std::uint32_t> FixedPolicy::number(const char* name) const {
    const auto found = numbers_.find(name);
    if (found == numbers_.end())
        return std::nullopt;
    return found->second;
}

} // namespace kpv
