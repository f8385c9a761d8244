// Reads arbitrary bytes as the content of rules.bin: every rule read back is within its
// ranges, and writing what was read and reading it again gives the same rules.
#include "status/account_rules.h"
#include "status/account_state.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 1 << 20)
        return 0;
    kpv::RecordStream content(kpv::SecureBuffer::ofBytes(data, static_cast<std::uint32_t>(size)));
    const kpv::RulesTable table = kpv::readRules(content);
    for (const auto& [accountId, rules] : table.entries()) {
        if (rules.periodDays > kpv::MAX_ACCOUNT_PERIOD_DAYS ||
            rules.sizeDropPercent < kpv::MIN_DROP_PERCENT ||
            rules.sizeDropPercent > kpv::MAX_DROP_PERCENT)
            __builtin_trap();
        kpv::AccountContext context;
        context.rules = rules;
        (void)kpv::assessAccount(kpv::RowStatus{}, context);
    }
    kpv::RecordStream again;
    kpv::writeRules(table, again);
    const kpv::RulesTable reread = kpv::readRules(again);
    if (reread.entries() != table.entries())
        __builtin_trap();
    return 0;
}
