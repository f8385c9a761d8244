#include "status/account_rules.h"

#include "core/data_file.h"

namespace kpv {
namespace {

constexpr std::uint16_t RULES_VERSION = 1;
constexpr std::uint32_t ENTRY_BYTES = 24;
constexpr std::uint16_t FLAG_SIZE = 1;
constexpr std::uint16_t FLAG_FILES = 2;
constexpr std::uint16_t FLAG_COPIES = 4;

bool validPercent(std::uint16_t percent) {
    return percent >= MIN_DROP_PERCENT && percent <= MAX_DROP_PERCENT;
}

bool validEntry(const AccountRules& rules) {
    const bool periodOk = rules.periodDays == 0 || (rules.periodDays >= MIN_ACCOUNT_PERIOD_DAYS &&
                                                    rules.periodDays <= MAX_ACCOUNT_PERIOD_DAYS);
    return periodOk && validPercent(rules.sizeDropPercent) && validPercent(rules.fileDropPercent) &&
           validPercent(rules.copiesDropPercent) && rules.snooze <= SnoozeKind::UntilTime;
}

} // namespace

bool isDefault(const AccountRules& rules) {
    return rules == AccountRules{};
}

const AccountRules& RulesTable::rulesOf(std::uint32_t accountId) const {
    static const AccountRules DEFAULTS;
    const auto found = entries_.find(accountId);
    return found != entries_.end() ? found->second : DEFAULTS;
}

void RulesTable::set(std::uint32_t accountId, const AccountRules& rules) {
    if (isDefault(rules))
        entries_.erase(accountId);
    else
        entries_[accountId] = rules;
}

void writeRules(const RulesTable& table, RecordStream& content) {
    content.appendU16(RULES_VERSION);
    content.appendU32(static_cast<std::uint32_t>(table.size()));
    for (const auto& [accountId, rules] : table.entries()) {
        RecordStream entry;
        entry.appendU32(accountId);
        entry.appendU16(rules.periodDays);
        entry.appendU16((rules.sizeRule ? FLAG_SIZE : 0u) | (rules.fileRule ? FLAG_FILES : 0u) |
                        (rules.copiesRule ? FLAG_COPIES : 0u));
        entry.appendU16(rules.sizeDropPercent);
        entry.appendU16(rules.fileDropPercent);
        entry.appendU16(rules.copiesDropPercent);
        entry.appendU16(static_cast<std::uint16_t>(rules.snooze));
        entry.appendU32(rules.snoozeUntil);
        entry.appendU32(rules.snoozeCopyTime);
        content.appendBlob(entry.contents);
    }
}

RulesTable readRules(RecordStream& content) {
    RulesTable table;
    if (content.readU16() != RULES_VERSION)
        return table;
    const std::uint32_t count = content.readU32();
    for (std::uint32_t i = 0; i < count && !content.exhausted(); ++i) {
        RecordStream entry(content.readBlob());
        if (entry.length() == 0)
            break; // the writer never makes an empty entry: the content ends or is damaged here
        if (entry.length() < ENTRY_BYTES)
            continue;
        const std::uint32_t accountId = entry.readU32();
        AccountRules rules;
        rules.periodDays = entry.readU16();
        const std::uint16_t flags = entry.readU16();
        rules.sizeRule = (flags & FLAG_SIZE) != 0;
        rules.fileRule = (flags & FLAG_FILES) != 0;
        rules.copiesRule = (flags & FLAG_COPIES) != 0;
        rules.sizeDropPercent = entry.readU16();
        rules.fileDropPercent = entry.readU16();
        rules.copiesDropPercent = entry.readU16();
        rules.snooze = static_cast<SnoozeKind>(entry.readU16());
        rules.snoozeUntil = entry.readU32();
        rules.snoozeCopyTime = entry.readU32();
        if (validEntry(rules))
            table.set(accountId, rules);
    }
    return table;
}

RulesTable loadRules(const char* path) {
    RecordStream content;
    if (!loadDataFile(path, content))
        return {};
    return readRules(content);
}

bool saveRules(const RulesTable& table, const char* path) {
    RecordStream content;
    writeRules(table, content);
    return saveDataFile(path, content);
}

} // namespace kpv
