#include "app/rules_commands.h"

namespace kpv {
namespace {

constexpr std::uint32_t SECONDS_PER_DAY = 86400;

bool percentInRange(bool on, std::uint32_t percent) {
    return !on || (percent >= MIN_DROP_PERCENT && percent <= MAX_DROP_PERCENT);
}

// A rule switched off keeps a valid threshold, so the file always holds one.
std::uint16_t storedPercent(bool on, std::uint32_t percent, std::uint16_t before) {
    return on ? static_cast<std::uint16_t>(percent) : before;
}

} // namespace

RulesForm rulesFormFor(std::uint32_t accountId, std::uint16_t globalDays) {
    const AccountRules rules = loadRules().rulesOf(accountId);
    RulesForm form;
    form.ownPeriod = rules.periodDays != 0;
    form.periodDays = form.ownPeriod ? rules.periodDays : (globalDays != 0 ? globalDays : 3);
    form.sizeRule = rules.sizeRule;
    form.sizeDropPercent = rules.sizeDropPercent;
    form.fileRule = rules.fileRule;
    form.fileDropPercent = rules.fileDropPercent;
    form.copiesRule = rules.copiesRule;
    form.copiesDropPercent = rules.copiesDropPercent;
    return form;
}

const char* storeRulesForm(std::uint32_t accountId, const RulesForm& form) {
    if (form.ownPeriod &&
        (form.periodDays < MIN_ACCOUNT_PERIOD_DAYS || form.periodDays > MAX_ACCOUNT_PERIOD_DAYS))
        return "Fel: Ange en egen varningstid på 1 till 60 dagar.";
    if (!percentInRange(form.sizeRule, form.sizeDropPercent) ||
        !percentInRange(form.fileRule, form.fileDropPercent) ||
        !percentInRange(form.copiesRule, form.copiesDropPercent))
        return "Fel: Ange gränserna i hela procent från 1 till 99.";
    RulesTable table = loadRules();
    AccountRules rules = table.rulesOf(accountId);
    rules.periodDays = form.ownPeriod ? static_cast<std::uint16_t>(form.periodDays) : 0;
    rules.sizeRule = form.sizeRule;
    rules.sizeDropPercent =
        storedPercent(form.sizeRule, form.sizeDropPercent, rules.sizeDropPercent);
    rules.fileRule = form.fileRule;
    rules.fileDropPercent =
        storedPercent(form.fileRule, form.fileDropPercent, rules.fileDropPercent);
    rules.copiesRule = form.copiesRule;
    rules.copiesDropPercent =
        storedPercent(form.copiesRule, form.copiesDropPercent, rules.copiesDropPercent);
    table.set(accountId, rules);
    (void)saveRules(table);
    return nullptr;
}

bool snoozeAccount(std::uint32_t accountId, SnoozeChoice choice, const RowStatus& current,
                   std::int64_t now) {
    RulesTable table = loadRules();
    AccountRules rules = table.rulesOf(accountId);
    rules.snooze = SnoozeKind::None;
    rules.snoozeUntil = 0;
    rules.snoozeCopyTime = 0;
    std::uint32_t days = 0;
    switch (choice) {
    case SnoozeChoice::UntilNewCopy:
        rules.snooze = SnoozeKind::UntilNewCopy;
        rules.snoozeCopyTime = current.opened ? current.lastCopyTime : 0;
        break;
    case SnoozeChoice::OneDay:
        days = 1;
        break;
    case SnoozeChoice::ThreeDays:
        days = 3;
        break;
    case SnoozeChoice::SevenDays:
        days = 7;
        break;
    case SnoozeChoice::End:
        break;
    }
    if (days != 0) {
        const std::int64_t until = now + std::int64_t(days) * SECONDS_PER_DAY;
        rules.snooze = SnoozeKind::UntilTime;
        rules.snoozeUntil = until < 0 ? 0 : until > 0xFFFFFFFF ? 0xFFFFFFFFu : std::uint32_t(until);
    }
    table.set(accountId, rules);
    return saveRules(table);
}

void dropRulesOutside(const AccountIdList& accountIds) {
    // An empty list may be one that did not load: the rules are kept until a list does.
    if (accountIds.length() == 0)
        return;
    RulesTable table = loadRules();
    if (table.empty())
        return;
    std::uint32_t position = 0;
    if (table.retain([&](std::uint32_t id) { return accountIds.find(id, position); }) > 0)
        (void)saveRules(table);
}

} // namespace kpv
