// kopiavakt-check: one status request for the accounts of an account list, reported in the
// form a monitoring system reads (the plugin convention, JSON or Prometheus metrics).
#include "accounts/account_lists.h"
#include "check/check_options.h"
#include "check/check_report.h"
#include "check/client_files.h"
#include "check/console.h"
#include "check/output_formats.h"
#include "check/run_deadline.h"
#include "check/status_query.h"
#include "core/clock.h"
#include "core/file_handle.h"
#include "core/managed_policy.h"
#include "status/history_file.h"
#include "status/warning_settings.h"

#include <cstdio>
#include <string>

#ifndef KPV_SERVER_HOST
#define KPV_SERVER_HOST "localhost"
#endif
#ifndef KPV_VERSION
#define KPV_VERSION "0"
#endif

namespace {

using namespace kpv;
using namespace kpv::check;

constexpr std::uint32_t SECONDS_PER_DAY = 86400;
constexpr std::uint32_t DEFAULT_WARNING_DAYS = 3;
constexpr std::uint32_t LONGEST_STORED_DAYS = 15;

// The format asked for, as far as the command line was read: for the last-resort answer.
OutputFormat chosenFormat = OutputFormat::Nagios;

void print(const WipingString& text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

// The UNKNOWN result of a run that could not ask the server; printed only when the watchdog
// (if there is one yet) has not printed its own.
int reportFailure(const CheckOptions& options, CheckReport& report, const char* reason,
                  RunDeadline* deadline = nullptr) {
    report.error = reason;
    judgeReport(report);
    const WipingString text = formatReport(options.format, report);
    if (deadline == nullptr || deadline->claimOutput())
        print(text);
    return exitCodeFor(options.format, report);
}

// Fills the periods: the options, else the policy's, else the client's setting, else 3 days;
// critical at twice.
void choosePeriods(const CheckOptions& options, const ManagedPolicy& policy,
                   const std::string& settingsPath, CheckReport& report) {
    std::uint32_t warningDays = options.warningDays;
    if (warningDays == 0)
        warningDays = policy.warningDays;
    if (warningDays == 0 && !settingsPath.empty())
        warningDays = readWarningDays(settingsPath.c_str());
    // The client offers 1 to 15 days; anything else in the file is damage, read as the
    // default rather than multiplied past 32 bits.
    if (warningDays == 0 || (options.warningDays == 0 && warningDays > LONGEST_STORED_DAYS))
        warningDays = DEFAULT_WARNING_DAYS;
    const std::uint32_t criticalDays =
        options.criticalDays != 0 ? options.criticalDays : 2 * warningDays;
    report.warningSeconds = warningDays * SECONDS_PER_DAY;
    report.criticalSeconds = criticalDays * SECONDS_PER_DAY;
    report.criticalGiven = options.criticalDays != 0;
}

bool fileExists(const std::string& path) {
    return FileHandle::openForReading(path.c_str()).isOpen();
}

// The client's rules and history, read only: those named on the command line must be there;
// the client's own are used when present. False with the reason in `report.error`.
bool readRulesAndHistory(const CheckOptions& options, const std::string& folder,
                         CheckReport& report) {
    if (options.noRules)
        return true;
    const auto chosen = [&](const std::string& named, const char* own, std::string& path) {
        path = named;
        if (path.empty() && !folder.empty() && fileExists(folder + own))
            path = folder + own;
        if (!named.empty() && !fileExists(named)) {
            report.error = "cannot read ";
            report.error += named.c_str();
            return false;
        }
        return true;
    };
    std::string rulesPath;
    std::string historyPath;
    if (!chosen(options.rulesPath, RULES_FILE, rulesPath) ||
        !chosen(options.historyPath, HISTORY_FILE, historyPath))
        return false;
    if (!rulesPath.empty())
        report.rules = loadRules(rulesPath.c_str());
    if (!historyPath.empty())
        report.history = loadHistory(historyPath.c_str());
    report.withRules = !rulesPath.empty() || !historyPath.empty();
    return true;
}

int runCheck(int argc, const char* const* argv) {
    CheckOptions options;
    CheckReport report;
    report.checkedAt = systemClock().now();
    std::string optionError;
    if (!parseCheckOptions(argc, argv, options, optionError))
        return reportFailure(options, report, optionError.c_str());
    chosenFormat = options.format;
    if (options.help) {
        std::fputs(checkUsage(), stdout);
        return 0;
    }
    if (options.version) {
        std::fputs("kopiavakt-check " KPV_VERSION "\n", stdout);
        return 0;
    }

    // The result of a run cut short, prepared now so that the watchdog only has to print it.
    // It watches every file read too: a settings file or list that is a FIFO, or on a share
    // that stopped answering, must not hold the run either.
    CheckReport timedOut = report;
    timedOut.error = "no result within the timeout of ";
    timedOut.error += std::to_string(options.timeoutSeconds).c_str();
    timedOut.error += " s";
    judgeReport(timedOut);
    RunDeadline deadline(options.timeoutSeconds * 1000, formatReport(options.format, timedOut),
                         exitCodeFor(options.format, timedOut));

    std::string accountsPath = options.accountsPath;
    std::string settingsPath = options.settingsPath;
    std::string folder;
    if (accountsPath.empty()) {
        if (!clientWorkingFolder(folder))
            return reportFailure(options, report, "no account list: --accounts FILE is needed",
                                 &deadline);
        accountsPath = folder + "account_list.bin";
        if (settingsPath.empty())
            settingsPath = folder + "settings.bin";
    }
    // The client's own group policy (Windows only): its server and its warning period.
    const ManagedPolicy policy = readManagedPolicy(systemPolicy());
    choosePeriods(options, policy, settingsPath, report);
    if (report.criticalSeconds < report.warningSeconds)
        return reportFailure(options, report, "--critical must not be shorter than --warning",
                             &deadline);

    AccountIdList ids;
    BufferList keys;
    BufferList names;
    if (readRulesAndHistory(options, folder, report) &&
        loadAccountListFile(accountsPath, ids, keys, names, report.error) &&
        selectAccounts(options.accountIds, ids, keys, names, report.error)) {
        QueryTarget target;
        target.host = !options.server.empty()      ? options.server
                      : !policy.serverHost.empty() ? policy.serverHost
                                                   : KPV_SERVER_HOST;
        target.port = options.port;
        // The exchange gives up a little before the watchdog, so that its own reason is told.
        const std::uint32_t limit = options.timeoutSeconds * 1000;
        target.limitMilliseconds = limit - (limit / 10 < 1000 ? limit / 10 : 1000);
        queryStatuses(target, ids, keys, names, report);
    }
    report.checkedAt = systemClock().now(); // ages as of the reply, however long it took
    judgeReport(report);
    const WipingString text = formatReport(options.format, report);
    if (deadline.claimOutput())
        print(text);
    return exitCodeFor(options.format, report);
}

} // namespace

int main(int argc, char** argv) {
    useBinaryStandardOutput();
    try {
        return runCheck(argc, argv);
    } catch (...) {
        // Out of memory or a damaged list beyond what the buffers accept: still an answer in
        // the format asked for, written without allocating.
        std::fputs(internalErrorText(chosenFormat), stdout);
        return internalErrorExitCode(chosenFormat);
    }
}
