#include "app/settings.h"

#include "core/data_file.h"

namespace kpv {
namespace {
constexpr std::uint16_t DEFAULT_DAYS = 3;
} // namespace

const SettingsItem SETTINGS_ITEMS[SETTINGS_ITEM_COUNT] = {
    {"1 dag", 1},   {"2 dagar", 2},   {"3 dagar", 3},   {"5 dagar", 5},
    {"7 dagar", 7}, {"10 dagar", 10}, {"15 dagar", 15},
};

std::uint16_t loadWarningDays() {
    return readWarningDays(SETTINGS_FILE);
}

int initialSettingsSelection() {
    const std::uint16_t days = loadWarningDays();
    for (int i = 0; i < SETTINGS_ITEM_COUNT; ++i)
        if (SETTINGS_ITEMS[i].days == days)
            return i;
    for (int i = 0; i < SETTINGS_ITEM_COUNT; ++i)
        if (SETTINGS_ITEMS[i].days == DEFAULT_DAYS)
            return i;
    return 0;
}

std::uint16_t effectiveWarningDays(std::uint16_t policyDays) {
    return policyDays != 0 ? policyDays : loadWarningDays();
}

int policySettingsSelection(std::uint16_t policyDays) {
    for (int i = 0; i < SETTINGS_ITEM_COUNT; ++i)
        if (SETTINGS_ITEMS[i].days == policyDays)
            return i;
    return -1;
}

std::string periodText(std::uint16_t days) {
    return std::to_string(days) + (days == 1 ? " dag" : " dagar");
}

void saveWarningDays(std::uint16_t days) {
    RecordStream settings;
    settings.appendU16(days);
    (void)saveDataFile(SETTINGS_FILE, settings);
}

} // namespace kpv
