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
    return days != 0 ? std::uint32_t(days) * 86400 : DEFAULT_PERIOD_SECONDS;
}

} // namespace kpv
