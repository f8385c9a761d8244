#include "check/output_formats.h"
#include "core/ansi_text.h"

#include <cstdio>
#include <string>

namespace kpv::check {
namespace {

void appendNumber(WipingString& out, std::int64_t value) {
    out += std::to_string(value).c_str();
}

void appendUnsigned(WipingString& out, std::uint64_t value) {
    out += std::to_string(value).c_str();
}

// A JSON string of UTF-8 text: quote, backslash and control characters escaped.
void appendString(WipingString& out, const WipingString& utf8) {
    out += '"';
    for (const char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20 || byte == 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(byte));
            out += escaped;
        } else {
            out += c;
        }
    }
    out += '"';
}

void appendField(WipingString& out, const char* name, std::uint64_t value) {
    out += ", \"";
    out += name;
    out += "\": ";
    appendUnsigned(out, value);
}

} // namespace

WipingString formatJson(const CheckReport& report) {
    WipingString out = "{\"state\": \"";
    out += stateWordLower(report.state);
    out += "\", \"checked_at\": ";
    appendNumber(out, report.checkedAt);
    out += ", \"accounts\": [";
    bool first = true;
    for (const AccountResult& account : report.accounts) {
        const StatusRow& row = account.row;
        out += first ? "\n  " : ",\n  ";
        first = false;
        out += "{\"id\": ";
        appendUnsigned(out, row.accountId);
        out += ", \"name\": ";
        appendString(out, ansiToUtf8(row.name));
        out += ", \"state\": \"";
        out += stateWordLower(account.state);
        if (report.withRules) {
            out += "\", \"reason\": \"";
            out += accountStateName(account.judgement.state);
        }
        out += "\", \"last_copy_time\": ";
        if (account.row.opened)
            appendUnsigned(out, row.lastCopyTime);
        else
            out += "null";
        out += ", \"age_seconds\": ";
        if (account.row.opened)
            appendNumber(out, account.ageSeconds);
        else
            out += "null";
        appendField(out, "file_count", row.fileCount);
        appendField(out, "total_size", row.totalSize);
        appendField(out, "excluded_count", row.excludedCount);
        appendField(out, "copies_made", row.copiesMade);
        appendField(out, "stored_copies", row.storedCopies);
        appendField(out, "disk_space", row.diskSpace);
        out += '}';
    }
    out += first ? "], \"error\": " : "\n], \"error\": ";
    if (report.error.empty())
        out += "null";
    else
        appendString(out, rawToUtf8(report.error)); // paths and hosts as they were typed
    out += "}\n";
    return out;
}

} // namespace kpv::check
