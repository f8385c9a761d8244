#include "app/outdated_check.h"

#include "app/settings.h"
#include "core/data_file.h"
#include "status/account_rules.h"
#include "status/management_act.h"

#include <vector>

namespace kpv {
namespace {

constexpr const char* WARNING_TEXT =
    "Varning! Minst en säkerhetskopia är föråldrad och har inte uppdaterats! Avsluta "
    "programmet för att stäng av automatiska kontroller, eller ändra tiden för varningar.";

// The accounts whose statuses wrote time_list.bin, one per counted entry, when the last reply
// this client accepted is the one that wrote it (same count, same stored times in order).
// Empty otherwise (a file of an earlier run, or one that could not be written): every entry
// then stands for an account with no rules of its own.
std::vector<SeenAccount> ownersOf(const Client& client, RecordStream times, std::uint16_t count) {
    if (client.lastReply.size() != count)
        return {};
    for (const SeenAccount& account : client.lastReply)
        if (account.status.opened && times.readU32() != account.status.lastCopyTime)
            return {};
    if (!times.exhausted())
        return {};
    return client.lastReply;
}

// Only what the warning is about: an account outdated by its own period, or one whose status
// did not open (its missing entry reads as 1970). The anomaly rules never raise this box.
bool warnsOutdated(const RowStatus& status, const AccountContext& context) {
    const AccountState state = judgeAccount(status, context);
    return state == AccountState::Outdated || state == AccountState::Unopened;
}

bool anyOutdated(Client& client, std::uint32_t periodSeconds) {
    RecordStream times;
    if (!loadDataFile(TIME_LIST_FILE, times))
        return false;
    // The count is that of the request, while only opened statuses stored a time: the entries
    // missing at the end read as 0 and count as outdated, as they should.
    const std::uint16_t count = times.readU16();
    const std::vector<SeenAccount> owners = ownersOf(client, times, count);
    const RulesTable rules = owners.empty() ? RulesTable() : loadRules();
    AccountContext context;
    context.globalPeriodSeconds = periodSeconds;
    for (std::uint32_t i = 0; i < count; ++i) {
        RowStatus status;
        if (owners.empty()) {
            status.opened = true;
            status.lastCopyTime = times.readU32();
        } else {
            status = owners[i].status;
            status.previous = PreviousCopy{};
            context.rules = rules.rulesOf(owners[i].accountId);
        }
        context.now = client.clock.now();
        if (warnsOutdated(status, context))
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
