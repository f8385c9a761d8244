// kopiavakt-check's logic without a server: the client's outdated rule at its boundaries, the
// escaping of each format, names and times, and the command line.
#include "check/check_options.h"
#include "check/check_report.h"
#include "check/output_formats.h"

#include <doctest/doctest.h>

#include <set>
#include <string>

using namespace kpv;
using namespace kpv::check;

namespace {

AccountResult account(std::uint32_t id, const char* ansiName, bool opened,
                      std::uint32_t lastCopyTime) {
    AccountResult result;
    result.row.accountId = id;
    result.row.name = SecureBuffer::fromCString(ansiName);
    result.row.opened = opened;
    result.row.lastCopyTime = opened ? lastCopyTime : 0;
    result.row.fileCount = opened ? 12 : 0;
    return result;
}

std::string text(const WipingString& s) {
    return std::string(s.data(), s.size());
}

} // namespace

TEST_CASE("an account is judged by the client's rule: strictly older than the period") {
    const std::uint32_t warning = 259200;
    const std::uint32_t critical = 518400;
    CHECK(accountState(true, 259200, warning, critical) == CheckState::Ok);
    CHECK(accountState(true, 259201, warning, critical) == CheckState::Warning);
    CHECK(accountState(true, 518400, warning, critical) == CheckState::Warning);
    CHECK(accountState(true, 518401, warning, critical) == CheckState::Critical);
    CHECK(accountState(true, -100, warning, critical) == CheckState::Ok); // in the future
    CHECK(accountState(false, 0, warning, critical) == CheckState::Critical);

    CheckReport report;
    report.checkedAt = 1700000000;
    report.warningSeconds = warning;
    report.criticalSeconds = critical;
    report.accounts.push_back(account(1, "a", true, 1700000000 - 259201));
    report.accounts.push_back(account(2, "b", true, 1700000000 - 10));
    judgeReport(report);
    CHECK(report.state == CheckState::Warning);
    CHECK(report.accounts[0].ageSeconds == 259201);

    CheckReport empty;
    judgeReport(empty);
    CHECK(empty.state == CheckState::Unknown);
    CHECK(!empty.error.empty());

    report.error = "no contact";
    judgeReport(report);
    CHECK(report.state == CheckState::Unknown);
    CHECK(report.accounts.empty());
}

TEST_CASE("each format escapes what its reader would misread") {
    CheckReport report;
    report.checkedAt = 1700000000;
    report.warningSeconds = 86400;
    report.criticalSeconds = 172800;
    report.accounts.push_back(account(7, "a\"b\\c'd=e|f", true, 1700000000 - 90000));
    report.accounts.push_back(account(8, "", false, 0));
    report.accounts.push_back(account(9, "Twin", true, 1700000000));
    report.accounts.push_back(account(10, "Twin", true, 1700000100));
    judgeReport(report);

    const std::string nagios = text(formatNagios(report));
    CHECK(nagios.rfind("KOPIAVAKT CRITICAL - 4 accounts: 1 critical, 1 warning, 2 ok | "
                       "'a\"b\\c''d_e_f_age'=90000s;86400;172800;0 '8_age'=U;86400;172800;0 "
                       "'Twin_9_age'=0s;86400;172800;0 'Twin_10_age'=0s;86400;172800;0\n",
                       0) == 0);
    CHECK(nagios.find("a\"b\\c'd=e/f (id 7): WARNING, latest copy 2023-11-13T21:13:20Z, 12 "
                      "files\n") != std::string::npos);
    CHECK(nagios.find(" (id 8): CRITICAL, no status") != std::string::npos);

    const std::string json = text(formatJson(report));
    CHECK(json.find("{\"id\": 7, \"name\": \"a\\\"b\\\\c'd=e|f\", \"state\": \"warning\", "
                    "\"last_copy_time\": 1699910000, \"age_seconds\": 90000, \"file_count\": 12") !=
          std::string::npos);
    CHECK(json.find("\"last_copy_time\": null, \"age_seconds\": null") != std::string::npos);
    CHECK(json.find("\"error\": null}") != std::string::npos);

    const std::string metrics = text(formatPrometheus(report));
    CHECK(
        metrics.find("kopiavakt_backup_age_seconds{id=\"7\",name=\"a\\\"b\\\\c'd=e|f\"} 90000\n") !=
        std::string::npos);
    CHECK(metrics.find("kopiavakt_account_up{id=\"8\",name=\"\"} 0\n") != std::string::npos);
    CHECK(metrics.find("kopiavakt_files{id=\"8\"") == std::string::npos);
    CHECK(metrics.find("kopiavakt_check_success 1\n") != std::string::npos);
    CHECK(metrics.find("kopiavakt_backup_age_seconds{id=\"10\",name=\"Twin\"} -100\n") !=
          std::string::npos);

    CHECK(exitCodeFor(OutputFormat::Nagios, report) == 2);
    CHECK(exitCodeFor(OutputFormat::Prometheus, report) == 0);
}

TEST_CASE("every series and every label is unique, whatever the list repeats") {
    CheckReport report;
    report.checkedAt = 1700000000;
    report.warningSeconds = 86400;
    report.criticalSeconds = 172800;
    // Three names that clean to one label, an id twice, and two placeholder rows.
    for (const char* name : {"a=b", "a|b", "a_b"})
        report.accounts.push_back(account(static_cast<std::uint32_t>(report.accounts.size() + 1),
                                          name, true, 1700000000));
    report.accounts.push_back(account(1, "a=b", true, 1700000000));
    report.accounts.push_back(account(0, "", false, 0));
    report.accounts.push_back(account(0, "", false, 0));
    judgeReport(report);

    const std::string nagios = text(formatNagios(report));
    const std::string perf = nagios.substr(0, nagios.find('\n'));
    std::set<std::string> labels;
    for (std::size_t at = perf.find(" '"); at != std::string::npos; at = perf.find(" '", at + 1))
        CHECK(labels.insert(perf.substr(at + 1, perf.find("'=", at) - at)).second);
    CHECK(labels.size() == report.accounts.size());
    CHECK(perf.find("'a_b_1_age'=0s") != std::string::npos);
    CHECK(perf.find("'a_b_3_age'=0s") != std::string::npos);

    const std::string metrics = text(formatPrometheus(report));
    std::set<std::string> series;
    std::size_t samples = 0;
    for (std::size_t at = 0; at < metrics.size();) {
        const std::size_t end = metrics.find('\n', at);
        const std::string line = metrics.substr(at, end - at);
        at = end + 1;
        if (line.empty() || line[0] == '#')
            continue;
        ++samples;
        CHECK_MESSAGE(series.insert(line.substr(0, line.rfind(' '))).second, line);
    }
    CHECK(samples == series.size());
    CHECK(metrics.find("kopiavakt_account_up{id=\"0\",name=\"\",row=\"6\"} 0\n") !=
          std::string::npos);
}

TEST_CASE("errors keep every format valid: raw command-line bytes, and the internal error") {
    CheckReport report;
    // A Windows-1252 path holding a '|' and a line break, and a valid UTF-8 host name.
    report.error = "cannot read the account list C:\\Users\\\xE5sa|x\n.ulf on h\xC3\xB6st";
    judgeReport(report);
    const std::string nagios = text(formatNagios(report));
    CHECK(nagios == "KOPIAVAKT UNKNOWN - cannot read the account list C:\\Users\\\u00E5sa/x "
                    ".ulf on h\u00F6st\n");
    const std::string json = text(formatJson(report));
    CHECK(json.find("\"error\": \"cannot read the account list C:\\\\Users\\\\\u00E5sa|x\\u000a"
                    ".ulf on h\u00F6st\"}") != std::string::npos);
    const std::string metrics = text(formatPrometheus(report));
    CHECK(metrics.find("# kopiavakt-check: cannot read the account list C:\\Users\\\u00E5sa|x "
                       ".ulf on h\u00F6st\n") != std::string::npos);

    CHECK(std::string(internalErrorText(OutputFormat::Nagios)) ==
          "KOPIAVAKT UNKNOWN - internal error\n");
    CHECK(std::string(internalErrorText(OutputFormat::Json)) ==
          "{\"state\": \"unknown\", \"checked_at\": 0, \"accounts\": [], \"error\": "
          "\"internal error\"}\n");
    // The fixed text needs no memory; it must still read as the JSON writer would write it.
    CheckReport internal;
    internal.error = "internal error";
    judgeReport(internal);
    CHECK(text(formatJson(internal)) == internalErrorText(OutputFormat::Json));
    CHECK(std::string(internalErrorText(OutputFormat::Prometheus))
              .find("\nkopiavakt_check_success 0\n# kopiavakt-check: internal error\n") !=
          std::string::npos);
    CHECK(internalErrorExitCode(OutputFormat::Json) == 3);
    CHECK(internalErrorExitCode(OutputFormat::Prometheus) == 0);
}

TEST_CASE("the command line") {
    const auto parse = [](std::initializer_list<const char*> args, CheckOptions& options,
                          std::string& error) {
        std::vector<const char*> argv{"kopiavakt-check"};
        argv.insert(argv.end(), args.begin(), args.end());
        return parseCheckOptions(static_cast<int>(argv.size()), argv.data(), options, error);
    };
    CheckOptions options;
    std::string error;
    REQUIRE(parse({}, options, error));
    CHECK(options.port == 55502);
    CHECK(options.timeoutSeconds == 60);
    CHECK(options.format == OutputFormat::Nagios);

    CheckOptions given;
    REQUIRE(parse({"--accounts", "a.ulf", "--port=1234", "--warning", "5", "--critical=9",
                   "--account", "4294967295", "--account=7", "--format", "json", "--timeout", "5",
                   "--server", "backup.example"},
                  given, error));
    CHECK(given.accountsPath == "a.ulf");
    CHECK(given.port == 1234);
    CHECK(given.warningDays == 5);
    CHECK(given.criticalDays == 9);
    CHECK(given.accountIds == std::vector<std::uint32_t>{4294967295u, 7});
    CHECK(given.format == OutputFormat::Json);
    CHECK(given.server == "backup.example");

    for (const auto& bad : std::vector<std::vector<const char*>>{{"--port", "0"},
                                                                 {"--port", "65536"},
                                                                 {"--timeout", "-1"},
                                                                 {"--warning", "0"},
                                                                 {"--account", "4294967296"},
                                                                 {"--format", "xml"},
                                                                 {"--accounts"},
                                                                 {"--frobnicate", "1"},
                                                                 {"--warning", "3x"}}) {
        CheckOptions o;
        std::vector<const char*> argv{"kopiavakt-check"};
        argv.insert(argv.end(), bad.begin(), bad.end());
        CHECK_FALSE(parseCheckOptions(static_cast<int>(argv.size()), argv.data(), o, error));
    }

    CheckOptions prometheus;
    CHECK_FALSE(parse({"--port", "x", "--format", "prometheus"}, prometheus, error));
    CHECK(prometheus.format == OutputFormat::Prometheus); // the failure is told in that format
}
