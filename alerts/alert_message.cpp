#include "alerts/alert_message.h"

#include <cstdio>
#include <random>

namespace kpv {

const char* alertEventName(AlertEvent event) {
    switch (event) {
    case AlertEvent::Attention:
        return "attention";
    case AlertEvent::Recovered:
        return "recovered";
    case AlertEvent::Reminder:
        return "reminder";
    case AlertEvent::Test:
        break;
    }
    return "test";
}

std::optional<AccountState> accountStateNamed(const std::string& name) {
    constexpr AccountState ALL_STATES[] = {
        AccountState::Unopened, AccountState::Outdated,   AccountState::Emptied,
        AccountState::Shrunk,   AccountState::CopiesLost, AccountState::Ok,
        AccountState::Snoozed,
    };
    for (AccountState state : ALL_STATES)
        if (name == accountStateName(state))
            return state;
    return std::nullopt;
}

void appendAlertTime(RecordStream& out, std::int64_t time) {
    const auto bits = static_cast<std::uint64_t>(time);
    out.appendU32(static_cast<std::uint32_t>(bits));
    out.appendU32(static_cast<std::uint32_t>(bits >> 32));
}

std::int64_t readAlertTime(RecordStream& in) {
    const std::uint64_t low = in.readU32();
    const std::uint64_t high = in.readU32();
    return static_cast<std::int64_t>(low | (high << 32));
}

std::string makeAlertId(std::int64_t now) {
    // The time alone repeats when two messages leave in one second; the random part does not.
    static std::mt19937_64 generator{std::random_device{}()};
    char text[40];
    std::snprintf(text, sizeof text, "%010llx-%016llx", static_cast<unsigned long long>(now),
                  static_cast<unsigned long long>(generator()));
    return text;
}

} // namespace kpv
