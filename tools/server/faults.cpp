#include "tools/server/faults.h"

namespace kpv::tools {
namespace {

constexpr const char* NAMES[FAULT_COUNT] = {"chunked", "slow",          "wrong-type", "truncate",
                                            "bad-tag", "trailing-byte", "no-answer"};

} // namespace

const char* faultName(Fault f) {
    return NAMES[static_cast<std::uint32_t>(f)];
}

bool parseFault(std::string_view name, Fault& out) {
    for (std::uint32_t i = 0; i < FAULT_COUNT; ++i) {
        if (name == NAMES[i]) {
            out = static_cast<Fault>(i);
            return true;
        }
    }
    return false;
}

std::string FaultSet::describe() const {
    std::string text;
    for (std::uint32_t i = 0; i < FAULT_COUNT; ++i) {
        if (has(static_cast<Fault>(i))) {
            if (!text.empty())
                text += ',';
            text += NAMES[i];
        }
    }
    return text.empty() ? "none" : text;
}

} // namespace kpv::tools
