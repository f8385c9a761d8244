// Reads arbitrary bytes as the content of history.bin: the history stays within its bounds,
// every account's previous copy and CSV can be made, and what was read writes and reads back
// to the same records.
#include "status/history_file.h"
#include "status/history_table.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 1 << 20)
        return 0;
    kpv::RecordStream content(kpv::SecureBuffer::ofBytes(data, static_cast<std::uint32_t>(size)));
    const kpv::AccountHistory history = kpv::readHistory(content);
    if (history.recordCount() > kpv::MAX_HISTORY_RECORDS)
        __builtin_trap();
    for (const auto& [accountId, records] : history.accounts()) {
        if (records.empty() || records.size() > kpv::MAX_RECORDS_PER_ACCOUNT)
            __builtin_trap();
        (void)history.previousCopyOf(accountId, kpv::rowStatusOf(records.back()));
        (void)kpv::historyCsv(records, kpv::AccountRules{});
    }
    kpv::RecordStream again;
    kpv::writeHistory(history, again);
    const kpv::AccountHistory reread = kpv::readHistory(again);
    if (reread.recordCount() != history.recordCount())
        __builtin_trap();
    for (const auto& [accountId, records] : history.accounts()) {
        const auto& back = reread.recordsOf(accountId);
        if (back.size() != records.size())
            __builtin_trap();
        for (std::size_t i = 0; i < records.size(); ++i)
            if (!back[i].sameValues(records[i]) || back[i].timeSeen != records[i].timeSeen)
                __builtin_trap();
    }
    return 0;
}
