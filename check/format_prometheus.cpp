#include "check/output_formats.h"
#include "core/ansi_text.h"

#include <set>
#include <string>
#include <utility>
#include <vector>

namespace kpv::check {
namespace {

void appendUnsigned(WipingString& out, std::uint64_t value) {
    out += std::to_string(value).c_str();
}

void appendFamily(WipingString& out, const char* name, const char* help) {
    out += "# HELP ";
    out += name;
    out += ' ';
    out += help;
    out += "\n# TYPE ";
    out += name;
    out += " gauge\n";
}

// {id="1001",name="..."}: backslash, double quote and line feed escaped, as label values
// require. A row whose id and name repeat an earlier row's (a list holding an id twice, the
// placeholder rows of a damaged list) adds its place in the list, row="N" from 1, since a
// repeated series makes the whole text invalid for the collector.
WipingString labelsOf(const AccountResult& account, std::size_t repeatedRow) {
    WipingString labels = "{id=\"";
    appendUnsigned(labels, account.row.accountId);
    labels += "\",name=\"";
    for (const char c : ansiToUtf8(account.row.name)) {
        if (c == '\\')
            labels += "\\\\";
        else if (c == '"')
            labels += "\\\"";
        else if (c == '\n')
            labels += "\\n";
        else
            labels += c;
    }
    labels += '"';
    if (repeatedRow != 0) {
        labels += ",row=\"";
        appendUnsigned(labels, repeatedRow);
        labels += '"';
    }
    labels += '}';
    return labels;
}

// For each account, 0 or its place in the list (from 1) when an earlier one has its labels.
std::vector<std::size_t> repeatedRows(const CheckReport& report) {
    std::set<std::pair<std::uint32_t, WipingString>> seen;
    std::vector<std::size_t> rows;
    for (std::size_t i = 0; i < report.accounts.size(); ++i) {
        const AccountResult& account = report.accounts[i];
        const bool fresh = seen.emplace(account.row.accountId, ansiToUtf8(account.row.name)).second;
        rows.push_back(fresh ? 0 : i + 1);
    }
    return rows;
}

// One family with a sample per account; `value` gives false for an account without one.
template <typename ValueOf>
void appendAccountFamily(WipingString& out, const CheckReport& report, const char* name,
                         const char* help, ValueOf value) {
    appendFamily(out, name, help);
    const std::vector<std::size_t> repeated = repeatedRows(report);
    for (std::size_t i = 0; i < report.accounts.size(); ++i) {
        const AccountResult& account = report.accounts[i];
        WipingString sample;
        if (!value(account, sample))
            continue;
        out += name;
        out += labelsOf(account, repeated[i]);
        out += ' ';
        out += sample;
        out += '\n';
    }
}

// One sample per opened account and rule: 1 when its latest copy raised the rule.
void appendAnomalies(WipingString& out, const CheckReport& report) {
    appendFamily(out, "kopiavakt_anomaly",
                 "1 when the account's latest copy raised the anomaly rule (size, files or "
                 "copies) against its previous copy.");
    const std::vector<std::size_t> repeated = repeatedRows(report);
    for (std::size_t i = 0; i < report.accounts.size(); ++i) {
        const AccountResult& account = report.accounts[i];
        if (!account.row.opened)
            continue;
        WipingString labels = labelsOf(account, repeated[i]);
        labels.pop_back(); // the closing brace
        for (const AnomalyRule rule : ANOMALY_RULES) {
            out += "kopiavakt_anomaly";
            out += labels;
            out += ",rule=\"";
            out += anomalyRuleName(rule);
            out += "\"} ";
            out += (account.judgement.raisedRules & rule) != 0 ? '1' : '0';
            out += '\n';
        }
    }
}

} // namespace

WipingString formatPrometheus(const CheckReport& report) {
    WipingString out;
    appendFamily(out, "kopiavakt_check_success",
                 "1 when the server answered with a status reply for a non-empty account list.");
    out += "kopiavakt_check_success ";
    out += report.error.empty() ? "1\n" : "0\n";
    if (!report.error.empty()) {
        // A comment for whoever reads the file; collectors skip it.
        out += "# kopiavakt-check: ";
        for (const char c : rawToUtf8(report.error))
            out += static_cast<unsigned char>(c) < 0x20 ? ' ' : c;
        out += '\n';
    }
    appendFamily(out, "kopiavakt_check_timestamp_seconds",
                 "When the check ran, in seconds since 1970 (UTC).");
    out += "kopiavakt_check_timestamp_seconds ";
    out += std::to_string(report.checkedAt).c_str();
    out += '\n';

    const auto opened = [](auto field) {
        return [field](const AccountResult& account, WipingString& sample) {
            if (!account.row.opened)
                return false;
            sample = field(account).c_str();
            return true;
        };
    };
    appendAccountFamily(out, report, "kopiavakt_account_up",
                        "1 when the account's status was in the reply and opened with its key.",
                        [](const AccountResult& account, WipingString& sample) {
                            sample.assign(1, account.row.opened ? '1' : '0');
                            return true;
                        });
    appendAccountFamily(
        out, report, "kopiavakt_last_copy_timestamp_seconds",
        "Time of the account's latest backup copy, in seconds since 1970 (UTC).",
        opened([](const AccountResult& a) { return std::to_string(a.row.lastCopyTime); }));
    appendAccountFamily(
        out, report, "kopiavakt_backup_age_seconds",
        "Age of the account's latest backup copy when the check ran, in seconds.",
        opened([](const AccountResult& a) { return std::to_string(a.ageSeconds); }));
    appendAccountFamily(
        out, report, "kopiavakt_files", "Number of files in the account's backup.",
        opened([](const AccountResult& a) { return std::to_string(a.row.fileCount); }));
    appendAccountFamily(
        out, report, "kopiavakt_total_size_bytes", "Total size of the account's backup in bytes.",
        opened([](const AccountResult& a) { return std::to_string(a.row.totalSize); }));
    appendAccountFamily(
        out, report, "kopiavakt_disk_space_bytes",
        "Disk space the server reports for the account, in bytes.",
        opened([](const AccountResult& a) { return std::to_string(a.row.diskSpace); }));
    if (report.withRules)
        appendAnomalies(out, report);
    return out;
}

} // namespace kpv::check
