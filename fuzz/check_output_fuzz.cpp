// Account names come from a list file and values from the server: whatever they hold, each
// output keeps its shape (one line per account after the nagios head, no raw control byte in
// JSON strings, one sample line per account in each Prometheus family), and the command line
// parser never fails on its own. The input is split at zero bytes: the first part is argv, each
// later part one account name followed by its values.
#include "check/check_options.h"
#include "check/check_report.h"
#include "check/output_formats.h"
#include "core/secure_buffer.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::vector<std::string> splitAtZeros(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> parts(1);
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0)
            parts.emplace_back();
        else
            parts.back() += static_cast<char>(data[i]);
    }
    return parts;
}

std::uint32_t u32Of(const std::string& text, std::size_t at) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4 && at + i < text.size(); ++i)
        value |= std::uint32_t(static_cast<std::uint8_t>(text[at + i])) << (8 * i);
    return value;
}

std::size_t count(const kpv::WipingString& text, const char* what) {
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != kpv::WipingString::npos;
         at = text.find(what, at + 1))
        ++n;
    return n;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kpv::check;
    const std::vector<std::string> parts = splitAtZeros(data, size);

    std::vector<const char*> argv{"kopiavakt-check"};
    std::vector<std::string> words;
    std::string word;
    for (const char c : parts[0] + ' ') {
        if (c != ' ') {
            word += c;
        } else if (!word.empty()) {
            words.push_back(word);
            word.clear();
        }
    }
    for (const std::string& w : words)
        argv.push_back(w.c_str());
    CheckOptions options;
    std::string error;
    if (!parseCheckOptions(static_cast<int>(argv.size()), argv.data(), options, error) &&
        error.empty())
        std::abort();

    CheckReport report;
    report.checkedAt = 1700000000;
    report.warningSeconds = 259200;
    report.criticalSeconds = 518400;
    for (std::size_t i = 1; i < parts.size() && i <= 64; ++i) {
        const std::string& part = parts[i];
        const std::size_t nameLength = std::min<std::size_t>(part.size(), 40);
        AccountResult account;
        // Names reach the formats as the list file loader leaves them: printable, one zero.
        account.row.name =
            kpv::SecureBuffer::ofBytes(part.data(), static_cast<std::uint32_t>(nameLength))
                .printableCopy();
        account.row.accountId = u32Of(part, nameLength);
        account.row.opened = (u32Of(part, nameLength + 4) & 1) != 0;
        account.row.lastCopyTime = u32Of(part, nameLength + 8);
        account.row.totalSize = u32Of(part, nameLength + 12);
        report.accounts.push_back(std::move(account));
    }
    judgeReport(report);
    const std::size_t accounts = report.accounts.size();

    const kpv::WipingString nagios = formatNagios(report);
    const kpv::WipingString head = nagios.substr(0, nagios.find('\n'));
    if (count(nagios, "\n") != 1 + accounts || count(nagios, "|") != (accounts > 0 ? 1u : 0u) ||
        count(head, "_age'=") != accounts)
        std::abort();

    const kpv::WipingString json = formatJson(report);
    for (const char c : json)
        if (static_cast<unsigned char>(c) < 0x20 && c != '\n')
            std::abort();
    if (count(json, "\n") != (accounts == 0 ? 1 : accounts + 2))
        std::abort();

    const kpv::WipingString metrics = formatPrometheus(report);
    if (count(metrics, "\nkopiavakt_account_up{") != accounts)
        std::abort();
    return 0;
}
