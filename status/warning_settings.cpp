#include "status/warning_settings.h"

#include "core/data_file.h"
#include "status/account_state.h"

namespace kpv {

std::uint16_t readWarningDays(const char* path) {
    RecordStream settings;
    (void)loadDataFile(path, settings); // a file that does not load reads as empty
    return settings.length() >= 2 ? settings.readU16() : 0;
}

std::uint32_t warningPeriodSeconds(std::uint16_t days) {
    if (days == 0)
        return DEFAULT_PERIOD_SECONDS;
    // Past 49 710 days the seconds no longer fit: such a period never ends, rather than wrapping
    // round to a short one.
    const std::uint64_t seconds = std::uint64_t(days) * 86400;
    return seconds > UINT32_MAX ? UINT32_MAX : static_cast<std::uint32_t>(seconds);
}

} // namespace kpv
