#include "app/outdated_check.h"

#include "app/settings.h"
#include "core/data_file.h"
#include "status/management_act.h"

namespace kpv {
namespace {

constexpr const char* WARNING_TEXT =
    "Varning! Minst en säkerhetskopia är föråldrad och har inte uppdaterats! Avsluta "
    "programmet för att stäng av automatiska kontroller, eller ändra tiden för varningar.";

bool anyOutdated(Client& client, std::uint32_t periodSeconds) {
    RecordStream times;
    if (!loadDataFile(TIME_LIST_FILE, times))
        return false;
    // The count is that of the request, while only opened statuses stored a time: the entries
    // missing at the end read as 0 and count as outdated, as they should.
    const std::uint16_t count = times.readU16();
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint32_t lastCopy = times.readU32();
        if (isOutdated(lastCopy, client.clock.now(), periodSeconds))
            return true;
    }
    return false;
}

} // namespace

void checkOutdated(Client& client) {
    if (client.warningShown)
        return;
    if (!anyOutdated(client, warningPeriodSeconds(effectiveWarningDays(client.policy.warningDays))))
        return;
    client.ui.showMainWindow();
    client.warningShown = true;
    client.ui.showMessage(WARNING_TEXT, MessageKind::Error);
    client.warningShown = false;
}

} // namespace kpv
