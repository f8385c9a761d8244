#include "check/json_text.h"
#include "check/output_formats.h"
#include "core/ansi_text.h"

namespace kpv::check {
namespace {

// A time or age from the account's status; null while that status did not open.
template <typename Number>
WipingOrderedJson whenOpened(const StatusRow& row, Number value) {
    return row.opened ? WipingOrderedJson(value) : WipingOrderedJson(nullptr);
}

WipingOrderedJson accountJson(const AccountResult& account, bool withRules) {
    const StatusRow& row = account.row;
    WipingOrderedJson entry = WipingOrderedJson::object();
    entry["id"] = row.accountId;
    entry["name"] = ansiToUtf8(row.name);
    entry["state"] = stateWordLower(account.state);
    if (withRules)
        entry["reason"] = accountStateName(account.judgement.state);
    entry["last_copy_time"] = whenOpened(row, row.lastCopyTime);
    entry["age_seconds"] = whenOpened(row, account.ageSeconds);
    entry["file_count"] = row.fileCount;
    entry["total_size"] = row.totalSize;
    entry["excluded_count"] = row.excludedCount;
    entry["copies_made"] = row.copiesMade;
    entry["stored_copies"] = row.storedCopies;
    entry["disk_space"] = row.diskSpace;
    return entry;
}

} // namespace

WipingString formatJson(const CheckReport& report) {
    WipingOrderedJson accounts = WipingOrderedJson::array();
    for (const AccountResult& account : report.accounts)
        accounts.push_back(accountJson(account, report.withRules));
    WipingOrderedJson document = WipingOrderedJson::object();
    document["state"] = stateWordLower(report.state);
    document["checked_at"] = report.checkedAt;
    document["accounts"] = std::move(accounts);
    // Paths and hosts as they were typed.
    document["error"] = report.error.empty() ? WipingOrderedJson(nullptr)
                                             : WipingOrderedJson(rawToUtf8(report.error));
    return jsonText(document);
}

} // namespace kpv::check
