#include "check/check_options.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <charconv>
#include <optional>
#include <string_view>

namespace kpv::check {
namespace {

constexpr const char* FORMAT_OPTION = "--format";

// Decimal digits only (no sign, spaces or base prefix), at most ten of them, within
// [low, high].
bool wholeNumber(std::string_view text, std::uint64_t low, std::uint64_t high,
                 std::uint64_t& value) {
    if (text.empty() || text.size() > 10)
        return false;
    std::uint64_t result = 0;
    const char* const end = text.data() + text.size();
    const auto [stop, fault] = std::from_chars(text.data(), end, result, 10);
    if (fault != std::errc() || stop != end || result < low || result > high)
        return false;
    value = result;
    return true;
}

bool formatNamed(std::string_view word, OutputFormat& format) {
    struct Named {
        std::string_view word;
        OutputFormat format;
    };
    static constexpr Named FORMATS[] = {{"nagios", OutputFormat::Nagios},
                                        {"json", OutputFormat::Json},
                                        {"prometheus", OutputFormat::Prometheus}};
    for (const Named& named : FORMATS) {
        if (named.word == word) {
            format = named.format;
            return true;
        }
    }
    return false;
}

bool pathGiven(std::string_view value, std::string& path) {
    if (value.empty())
        return false;
    path = value;
    return true;
}

template <std::uint64_t LOW, std::uint64_t HIGH, typename Field>
bool numberGiven(std::string_view value, Field& field) {
    std::uint64_t number = 0;
    if (!wholeNumber(value, LOW, HIGH, number))
        return false;
    field = static_cast<Field>(number);
    return true;
}

struct ValueOption {
    const char* name;
    const char* needs; // why a value is refused
    bool (*take)(std::string_view value, CheckOptions& options);
};

constexpr const char* FILE_NEEDED = "a file name is needed";
constexpr const char* DAYS_NEEDED = "whole days from 1 to 10000 are needed";

const ValueOption VALUE_OPTIONS[] = {
    {"--accounts", FILE_NEEDED, [](auto v, auto& o) { return pathGiven(v, o.accountsPath); }},
    {"--settings", FILE_NEEDED, [](auto v, auto& o) { return pathGiven(v, o.settingsPath); }},
    {"--rules", FILE_NEEDED, [](auto v, auto& o) { return pathGiven(v, o.rulesPath); }},
    {"--history", FILE_NEEDED, [](auto v, auto& o) { return pathGiven(v, o.historyPath); }},
    {"--server", "a host name or address is needed",
     [](auto v, auto& o) { return pathGiven(v, o.server); }},
    {"--port", "a port from 1 to 65535 is needed",
     [](auto v, auto& o) { return numberGiven<1, 65535>(v, o.port); }},
    {"--timeout", "whole seconds from 1 to 86400 are needed",
     [](auto v, auto& o) { return numberGiven<1, MAX_TIMEOUT_SECONDS>(v, o.timeoutSeconds); }},
    {"--warning", DAYS_NEEDED,
     [](auto v, auto& o) { return numberGiven<1, MAX_DAYS>(v, o.warningDays); }},
    {"--critical", DAYS_NEEDED,
     [](auto v, auto& o) { return numberGiven<1, MAX_DAYS>(v, o.criticalDays); }},
    {FORMAT_OPTION, "nagios, json or prometheus is needed",
     [](auto v, auto& o) { return formatNamed(v, o.format); }},
    {"--account", "an account id from 0 to 4294967295 is needed",
     [](auto v, auto& o) {
         std::uint32_t id = 0;
         if (!numberGiven<0, 0xFFFFFFFFu>(v, id))
             return false;
         o.accountIds.push_back(id);
         return true;
     }},
};

// A CLI11 app that reports nothing of its own: no help flag, no "/name" options (paths).
void quietApp(CLI::App& app) {
    app.set_help_flag();
    app.allow_windows_style_options(false);
    app.allow_extras();
}

// CLI11 takes the words from the back of the list it is given; what is left of that list tells an
// option's callback which words were its own.
class Words {
  public:
    explicit Words(std::vector<std::string> words)
        : words_(std::move(words)), left_(words_.rbegin(), words_.rend()) {}

    std::vector<std::string>& left() { return left_; }
    std::size_t size() const { return words_.size(); }
    const std::string& operator[](std::size_t at) const { return words_[at]; }
    // How many words CLI11 has taken so far.
    std::size_t taken() const { return words_.size() - left_.size(); }

  private:
    const std::vector<std::string> words_;
    std::vector<std::string> left_;
};

// The format a bad command line is told in: each word is looked at for itself, so that a
// --format after the fault counts too, and one written --format=F over one written --format F.
OutputFormat formatForComplaints(const std::vector<std::string>& all, OutputFormat fallback) {
    // After a lone "--" CLI11 would read every word as a plain one.
    std::vector<std::string> words = all;
    std::replace(words.begin(), words.end(), std::string("--"), std::string("-"));
    Words line(std::move(words));
    std::optional<OutputFormat> joined; // --format=F
    std::optional<OutputFormat> spaced; // --format F
    const auto noteFormat = [&](const std::string& value) {
        OutputFormat format = fallback;
        if (!formatNamed(value, format))
            return;
        const std::size_t end = line.taken();
        if (line[end - 1] == FORMAT_OPTION + ("=" + value))
            joined = format;
        else if (end >= 2 && line[end - 2] == FORMAT_OPTION)
            spaced = format;
    };

    CLI::App app;
    quietApp(app);
    // Zero or one value: a following option word is not taken, so it is read for itself.
    app.add_option_function<std::string>(FORMAT_OPTION, noteFormat)
        ->expected(0, 1)
        ->trigger_on_parse();
    try {
        app.parse(line.left());
    } catch (const CLI::ParseError&) {
        // Nothing here is refused: the reading proper tells the fault.
    }
    return joined.value_or(spaced.value_or(fallback));
}

// Thrown from a callback to stop CLI11 at the first word that is refused.
struct Refusal {
    std::string reason; // empty: the word itself is unknown or lacks its value
};

// CLI11 also reads "--flag=VALUE", "-hV" and "--name= VALUE"; the check has always refused
// them, so each callback takes only the words spelled "--name VALUE", "--name=VALUE" or the
// flag alone, and reading stops at the first word that no option took.
class OptionReader {
  public:
    OptionReader(std::vector<std::string> words, CheckOptions& options)
        : line_(std::move(words)), options_(options) {
        quietApp(app_);
        for (const ValueOption& option : VALUE_OPTIONS)
            app_.add_option_function<std::string>(
                    option.name, [this, &option](const std::string& value) { take(option, value); })
                ->trigger_on_parse();
        flag("-h", "--help", options_.help);
        flag("-V", "--version", options_.version);
        flag("--no-rules", "--no-rules", options_.noRules);
    }

    // False with the reason on a refused word.
    bool read(std::string& error) {
        std::string reason;
        try {
            app_.parse(line_.left());
        } catch (const Refusal& refusal) {
            reason = refusal.reason;
        } catch (const CLI::ParseError&) {
            // A word CLI11 refused itself (a value missing at the end): told below.
        }
        if (accepted_ == line_.size())
            return true;
        error = reason.empty() ? complaintAbout(accepted_) : reason;
        return false;
    }

  private:
    void flag(const char* shortName, const char* longName, bool& target) {
        const std::string names = shortName == std::string_view(longName)
                                      ? std::string(longName)
                                      : std::string(shortName) + "," + longName;
        app_.add_flag_callback(names,
                               [this, shortName, longName, &target] {
                                   const std::string& word = line_[accepted_];
                                   if (line_.taken() - accepted_ != 1 ||
                                       (word != shortName && word != longName))
                                       throw Refusal{};
                                   target = true;
                                   accepted_ = line_.taken();
                               })
            ->trigger_on_parse();
    }

    void take(const ValueOption& option, const std::string& value) {
        const std::size_t words = line_.taken() - accepted_;
        const std::string& first = line_[accepted_];
        const bool spelled = (words == 2 && first == option.name) ||
                             (words == 1 && first == option.name + ("=" + value));
        if (!spelled)
            throw Refusal{};
        if (!option.take(value, options_))
            throw Refusal{badValue(option)};
        accepted_ = line_.taken();
    }

    static std::string badValue(const ValueOption& option) {
        return std::string("bad value for ") + option.name + ": " + option.needs;
    }

    // The complaint about a word no option took, as the check has always worded it.
    std::string complaintAbout(std::size_t at) const {
        const std::string& word = line_[at];
        const std::size_t equals = word.find('=');
        if (word.rfind("--", 0) == 0 && equals != std::string::npos) {
            const std::string name = word.substr(0, equals);
            // A value option here was given an empty value ("--port="): any other was judged.
            for (const ValueOption& option : VALUE_OPTIONS)
                if (name == option.name)
                    return badValue(option);
            return "unknown option " + name;
        }
        if (at + 1 < line_.size())
            return "unknown option " + word;
        return "option " + word + " needs a value or is unknown";
    }

    Words line_;
    CheckOptions& options_;
    CLI::App app_;
    std::size_t accepted_ = 0; // words taken by the options read so far
};

} // namespace

bool parseCheckOptions(int argc, const char* const* argv, CheckOptions& options,
                       std::string& error) {
    const std::vector<std::string> words(argv + std::min(argc, 1), argv + argc);
    options.format = formatForComplaints(words, options.format);
    return OptionReader(words, options).read(error);
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
