#pragma once
// The command line of kopiavakt-check.
#include <cstdint>
#include <string>
#include <vector>

namespace kpv::check {

enum class OutputFormat { Nagios, Json, Prometheus };

inline constexpr std::uint32_t DEFAULT_TIMEOUT_SECONDS = 60;
inline constexpr std::uint32_t MAX_TIMEOUT_SECONDS = 86400;
// Days up to this many keep days x 86400 x 2 well inside 32 bits.
inline constexpr std::uint32_t MAX_DAYS = 10000;

struct CheckOptions {
    std::string accountsPath; // empty: the client's own account_list.bin (Windows only)
    std::string settingsPath; // empty: the client's settings.bin beside the default list
    std::string rulesPath;    // empty: the client's rules.bin beside the default list, if any
    std::string historyPath;  // empty: the client's history.bin beside the default list, if any
    bool noRules = false;     // --no-rules: per-account rules and the history are not read
    std::string server;       // empty: the build's server host
    std::uint16_t port = 55502;
    std::uint32_t timeoutSeconds = DEFAULT_TIMEOUT_SECONDS;
    std::uint32_t warningDays = 0;  // 0: from settings.bin, else 3
    std::uint32_t criticalDays = 0; // 0: twice the warning period
    OutputFormat format = OutputFormat::Nagios;
    std::vector<std::uint32_t> accountIds; // empty: every account of the list
    bool help = false;
    bool version = false;
};

// Parses argv[1..argc-1]; both "--name VALUE" and "--name=VALUE" are accepted. False with a
// reason in English on a bad option. `options.format` holds the chosen format even then (when
// it was given before the fault), so that the failure can be reported in that format.
bool parseCheckOptions(int argc, const char* const* argv, CheckOptions& options,
                       std::string& error);

// The usage text printed by --help.
const char* checkUsage();

} // namespace kpv::check
