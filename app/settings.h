#pragma once
// settings.bin (u16 warning period in days) and the logic of the "Inställningar" dialog.
#include "status/warning_settings.h"

#include <cstdint>
#include <string>

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
// The period in force: the policy's days (1-15) when it sets them, else the stored ones (0:
// none stored, which means 3).
std::uint16_t effectiveWarningDays(std::uint16_t policyDays);
// The dialog's item for a period fixed by policy: its index into SETTINGS_ITEMS, or -1 when
// none of them has that many days (the dialog then shows an item of its own, periodText).
int policySettingsSelection(std::uint16_t policyDays);
// "1 dag", "4 dagar": a period as the dialog's items name it.
std::string periodText(std::uint16_t days);
// "OK": writes the chosen item's days to settings.bin (silently nothing if it cannot be opened).
void saveWarningDays(std::uint16_t days);

} // namespace kpv
