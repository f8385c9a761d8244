#pragma once
// The commands of one account's rules: "Regler för kontot..." (the dialog's values and what
// OK stores) and "Pausa varningar" with its choices. Each reads rules.bin afresh and saves it
// whole; the shell marks the rows again afterwards.
#include "accounts/account_lists.h"
#include "status/account_rules.h"
#include "status/status_view.h"

#include <cstdint>

namespace kpv {

// What the rules dialog shows and the user edits: each number as typed.
struct RulesForm {
    bool ownPeriod = false;
    std::uint32_t periodDays = 0; // shown as the global period's days when not own
    bool sizeRule = true;
    std::uint32_t sizeDropPercent = DEFAULT_DROP_PERCENT;
    bool fileRule = true;
    std::uint32_t fileDropPercent = DEFAULT_DROP_PERCENT;
    bool copiesRule = true;
    std::uint32_t copiesDropPercent = DEFAULT_DROP_PERCENT;
};

// The dialog's values for the account's stored rules; `globalDays` (from settings.bin, 0 for
// none) fills the period field when the account has no period of its own.
RulesForm rulesFormFor(std::uint32_t accountId, std::uint16_t globalDays);

// "OK": checks the form and stores it as the account's rules, keeping its pause. Null when
// stored (or when rules.bin could not be written, silently, like settings.bin); otherwise
// the message to show, UTF-8: "Fel: Ange en egen varningstid på 1 till 60 dagar." or
// "Fel: Ange gränserna i hela procent från 1 till 99.", and nothing is stored.
const char* storeRulesForm(std::uint32_t accountId, const RulesForm& form);

enum class SnoozeChoice { UntilNewCopy, OneDay, ThreeDays, SevenDays, End };

// Pauses the account's warnings (or ends its pause). `current` is the account's row as last
// shown (its latest copy is what "until the next new copy" waits past); now: seconds since
// 1970-01-01 UTC. False when rules.bin could not be written.
bool snoozeAccount(std::uint32_t accountId, SnoozeChoice choice, const RowStatus& current,
                   std::int64_t now);

// Forgets the rules of accounts not in `accountIds` (the list as loaded for an update, so
// after a removal or an import). rules.bin is written only when an entry went; an empty list
// (perhaps one that did not load) forgets nothing.
void dropRulesOutside(const AccountIdList& accountIds);

} // namespace kpv
