#include "check/ansi_text.h"
#include "check/output_formats.h"

#include <map>
#include <string>

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

// The label inside single quotes: a quote is doubled, and '=' (which no quoting allows) and
// '|' become '_'. An empty name, or one that several accounts share, falls back to the id.
WipingString perfLabel(const AccountResult& account, const WipingString& utf8Name, bool shared) {
    WipingString label = "'";
    if (utf8Name.empty()) {
        appendNumber(label, account.row.accountId);
    } else {
        for (const char c : utf8Name) {
            if (c == '\'')
                label += "''";
            else if (c == '=' || c == '|')
                label += '_';
            else
                label += c;
        }
        if (shared) {
            label += '_';
            appendNumber(label, account.row.accountId);
        }
    }
    label += "_age'";
    return label;
}

WipingString summary(const CheckReport& report) {
    if (!report.error.empty())
        return report.error;
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

    std::map<WipingString, std::uint32_t> nameUses;
    for (const AccountResult& account : report.accounts)
        ++nameUses[ansiToUtf8(account.row.name)];
    if (!report.accounts.empty())
        out += " |";
    for (const AccountResult& account : report.accounts) {
        const WipingString name = ansiToUtf8(account.row.name);
        out += ' ';
        out += perfLabel(account, name, nameUses[name] > 1);
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
            out += isoUtcTime(account.row.lastCopyTime);
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
