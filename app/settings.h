#pragma once
// settings.bin (u16 warning period in days) and the logic of the "Inställningar" dialog.
#include "status/warning_settings.h"

#include <cstdint>

namespace kpv {

struct SettingsItem {
    const char* utf8Text; // "1 dag", "2 dagar", ...
    std::uint16_t days;   // the item data
};

inline constexpr int SETTINGS_ITEM_COUNT = 7;
extern const SettingsItem SETTINGS_ITEMS[SETTINGS_ITEM_COUNT];

// The stored period in days; 0 when settings.bin is missing, does not load or is short.
std::uint16_t loadWarningDays();
// Index into SETTINGS_ITEMS of the item the dialog selects when it opens.
int initialSettingsSelection();
// "OK": writes the chosen item's days to settings.bin (silently nothing if it cannot be opened).
void saveWarningDays(std::uint16_t days);

} // namespace kpv
