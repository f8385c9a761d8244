#include "check/check_options.h"

#include <cstring>
#include <string_view>

namespace kpv::check {
namespace {

// Decimal digits only, no sign or spaces, within [low, high].
bool parseNumber(std::string_view text, std::uint64_t low, std::uint64_t high,
                 std::uint64_t& value) {
    if (text.empty() || text.size() > 10)
        return false;
    std::uint64_t result = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return false;
        result = result * 10 + std::uint64_t(c - '0');
    }
    if (result < low || result > high)
        return false;
    value = result;
    return true;
}

bool parseFormat(std::string_view text, OutputFormat& format) {
    if (text == "nagios")
        format = OutputFormat::Nagios;
    else if (text == "json")
        format = OutputFormat::Json;
    else if (text == "prometheus")
        format = OutputFormat::Prometheus;
    else
        return false;
    return true;
}

} // namespace

bool parseCheckOptions(int argc, const char* const* argv, CheckOptions& options,
                       std::string& error) {
    // The format first, so that every later complaint is told in it.
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--format") == 0)
            (void)parseFormat(argv[i + 1], options.format);
    for (int i = 1; i < argc; ++i)
        if (std::strncmp(argv[i], "--format=", 9) == 0)
            (void)parseFormat(argv[i] + 9, options.format);

    for (int i = 1; i < argc; ++i) {
        std::string_view name = argv[i];
        if (name == "--help" || name == "-h") {
            options.help = true;
            continue;
        }
        if (name == "--version" || name == "-V") {
            options.version = true;
            continue;
        }
        if (name == "--no-rules") {
            options.noRules = true;
            continue;
        }
        std::string_view value;
        const std::size_t equals = name.find('=');
        if (name.substr(0, 2) == "--" && equals != std::string_view::npos) {
            value = name.substr(equals + 1);
            name = name.substr(0, equals);
        } else if (i + 1 < argc) {
            value = argv[++i];
        } else {
            error = "option " + std::string(name) + " needs a value or is unknown";
            return false;
        }

        std::uint64_t number = 0;
        const auto bad = [&](const char* what) {
            error = "bad value for " + std::string(name) + ": " + what;
            return false;
        };
        if (name == "--accounts") {
            if (value.empty())
                return bad("a file name is needed");
            options.accountsPath = value;
        } else if (name == "--settings") {
            if (value.empty())
                return bad("a file name is needed");
            options.settingsPath = value;
        } else if (name == "--rules") {
            if (value.empty())
                return bad("a file name is needed");
            options.rulesPath = value;
        } else if (name == "--history") {
            if (value.empty())
                return bad("a file name is needed");
            options.historyPath = value;
        } else if (name == "--server") {
            if (value.empty())
                return bad("a host name or address is needed");
            options.server = value;
        } else if (name == "--port") {
            if (!parseNumber(value, 1, 65535, number))
                return bad("a port from 1 to 65535 is needed");
            options.port = static_cast<std::uint16_t>(number);
        } else if (name == "--timeout") {
            if (!parseNumber(value, 1, MAX_TIMEOUT_SECONDS, number))
                return bad("whole seconds from 1 to 86400 are needed");
            options.timeoutSeconds = static_cast<std::uint32_t>(number);
        } else if (name == "--warning") {
            if (!parseNumber(value, 1, MAX_DAYS, number))
                return bad("whole days from 1 to 10000 are needed");
            options.warningDays = static_cast<std::uint32_t>(number);
        } else if (name == "--critical") {
            if (!parseNumber(value, 1, MAX_DAYS, number))
                return bad("whole days from 1 to 10000 are needed");
            options.criticalDays = static_cast<std::uint32_t>(number);
        } else if (name == "--format") {
            if (!parseFormat(value, options.format))
                return bad("nagios, json or prometheus is needed");
        } else if (name == "--account") {
            if (!parseNumber(value, 0, 0xFFFFFFFFu, number))
                return bad("an account id from 0 to 4294967295 is needed");
            options.accountIds.push_back(static_cast<std::uint32_t>(number));
        } else {
            error = "unknown option " + std::string(name);
            return false;
        }
    }
    return true;
}

const char* checkUsage() {
    return "Usage: kopiavakt-check [--accounts FILE] [--server HOST] [--port N]\n"
           "                       [--timeout SECONDS] [--warning DAYS] [--critical DAYS]\n"
           "                       [--format nagios|json|prometheus] [--account ID]...\n"
           "                       [--settings FILE] [--rules FILE] [--history FILE]\n"
           "                       [--no-rules] [--help] [--version]\n"
           "\n"
           "Asks the monitoring server once for the status of the accounts in an account\n"
           "list (account_list.bin or a *.ulf) and reports how old each latest copy is.\n"
           "\n"
           "  --accounts FILE   the account list; default: the client's own account_list.bin\n"
           "                    (required where the client has no working folder)\n"
           "  --settings FILE   where the default warning period is read (default: the\n"
           "                    client's settings.bin, when --accounts is not given)\n"
           "  --rules FILE      the client's rules per account (default: its rules.bin,\n"
           "                    when --accounts is not given and the file is there)\n"
           "  --history FILE    the client's history, for the anomaly rules (default: its\n"
           "                    history.bin, likewise)\n"
           "  --no-rules        ignore rules and history: the global period alone\n"
           "  --server HOST     the monitoring server (default: the client's)\n"
           "  --port N          its TCP port (default 55502)\n"
           "  --timeout SECONDS bound on the whole run (default 60)\n"
           "  --warning DAYS    outdated after this many days (default: the client's\n"
           "                    setting, else 3)\n"
           "  --critical DAYS   critical after this many days (default: twice --warning)\n"
           "  --format F        nagios (default), json or prometheus\n"
           "  --account ID      check only this account (repeatable)\n"
           "\n"
           "Exit codes: 0 OK, 1 WARNING, 2 CRITICAL, 3 UNKNOWN; with --format prometheus\n"
           "0 whenever the metrics were written.\n";
}

} // namespace kpv::check
