#include "check/output_formats.h"
#include "core/ansi_text.h"
#include "core/calendar_time.h"

#include <map>
#include <set>
#include <string>
#include <vector>

namespace kpv::check {
namespace {

void appendNumber(WipingString& out, std::int64_t value) {
    out += std::to_string(value).c_str();
}

// A name for human lines: a '|' would start performance data.
WipingString displayName(const AccountResult& account) {
    WipingString name = ansiToUtf8(account.row.name);
    for (char& c : name)
        if (c == '|')
            c = '/';
    return name;
}

// The label's text: a quote is doubled, and '=' (which no quoting allows) and '|' become '_'.
// An empty name falls back to the id.
WipingString cleanLabel(const AccountResult& account) {
    const WipingString utf8Name = ansiToUtf8(account.row.name);
    WipingString label;
    if (utf8Name.empty())
        appendNumber(label, account.row.accountId);
    for (const char c : utf8Name) {
        if (c == '\'')
            label += "''";
        else if (c == '=' || c == '|')
            label += '_';
        else
            label += c;
    }
    return label;
}

// Each account's label inside single quotes, every one different: a cleaned name that several
// accounts share takes "_<id>", and one that still repeats (the same id twice) "_<place in the
// list>" until it is unique.
std::vector<WipingString> perfLabels(const CheckReport& report) {
    std::map<WipingString, std::uint32_t> uses;
    std::vector<WipingString> labels;
    for (const AccountResult& account : report.accounts) {
        labels.push_back(cleanLabel(account));
        ++uses[labels.back()];
    }
    std::set<WipingString> taken;
    for (std::size_t i = 0; i < labels.size(); ++i) {
        WipingString label = labels[i];
        if (uses[label] > 1) {
            label += '_';
            appendNumber(label, report.accounts[i].row.accountId);
        }
        while (!taken.insert(label).second) {
            label += '_';
            appendNumber(label, std::int64_t(i + 1));
        }
        labels[i] = "'" + label + "_age'";
    }
    return labels;
}

// A text for the first line: a '|' would start performance data, a line break end the line.
WipingString oneLine(const WipingString& utf8) {
    WipingString line;
    for (const char c : utf8)
        line += c == '|' ? '/' : static_cast<unsigned char>(c) < 0x20 ? ' ' : c;
    return line;
}

WipingString summary(const CheckReport& report) {
    if (!report.error.empty())
        return oneLine(rawToUtf8(report.error)); // paths and hosts as they were typed
    std::uint32_t counts[4] = {};
    for (const AccountResult& account : report.accounts)
        ++counts[static_cast<int>(account.state)];
    WipingString text;
    appendNumber(text, std::int64_t(report.accounts.size()));
    text += report.accounts.size() == 1 ? " account: " : " accounts: ";
    appendNumber(text, counts[2]);
    text += " critical, ";
    appendNumber(text, counts[1]);
    text += " warning, ";
    appendNumber(text, counts[0]);
    text += " ok";
    return text;
}

} // namespace

WipingString formatNagios(const CheckReport& report) {
    WipingString out = "KOPIAVAKT ";
    out += stateWord(report.state);
    out += " - ";
    out += summary(report);

    const std::vector<WipingString> labels = perfLabels(report);
    if (!report.accounts.empty())
        out += " |";
    for (std::size_t i = 0; i < report.accounts.size(); ++i) {
        const AccountResult& account = report.accounts[i];
        out += ' ';
        out += labels[i];
        out += '=';
        if (account.row.opened) {
            appendNumber(out, account.ageSeconds < 0 ? 0 : account.ageSeconds);
            out += 's';
        } else {
            out += 'U';
        }
        out += ';';
        appendNumber(out, account.warningSeconds);
        out += ';';
        appendNumber(out, account.criticalSeconds);
        out += ";0";
    }
    out += '\n';

    for (const AccountResult& account : report.accounts) {
        out += displayName(account);
        out += " (id ";
        appendNumber(out, account.row.accountId);
        out += "): ";
        out += stateWord(account.state);
        if (report.withRules && account.judgement.state != AccountState::Ok) {
            out += " (";
            out += accountStateName(account.judgement.state);
            out += ')';
        }
        if (account.row.opened) {
            out += ", latest copy ";
            out += isoUtcText(account.row.lastCopyTime).view();
            out += ", ";
            appendNumber(out, account.row.fileCount);
            out += " files\n";
        } else {
            out += ", no status could be opened (missing from the reply or wrong key)\n";
        }
    }
    return out;
}

} // namespace kpv::check
