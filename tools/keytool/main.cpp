// kpv-keytool: makes the key files with which the client is tried out, and keeps the reference
// server's accounts file in step with them.
#include "core/ansi_text.h"
#include "tools/common/hex.h"
#include "tools/common/os_random.h"
#include "tools/common/secure_file.h"
#include "tools/keytool/accounts_edit.h"
#include "tools/keytool/key_files.h"
#include "tools/keytool/secret_input.h"
#include "tools/server/faults.h"

#include <CLI/CLI.hpp>

#include <iostream>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace kpv;
using namespace kpv::tools;

constexpr const char* USAGE = R"(Commands in detail:
  kpv-keytool account --id ID [--rlf FILE.rlf] [--accounts FILE.json] [key] [name] [status]
      Writes a remote log file for the account and/or adds or updates it in the server's
      accounts file.
      key:    --secret-file FILE    the key material in hexadecimal, read from FILE ("-":
                                    standard input)
              --secret-length N     a fresh random secret of N bytes (16, 24 or 32; default 32)
              --keep-secret         the key already in the accounts file
              --client-secret-file FILE   key material for the user list instead of the
                                    server's (an account whose status cannot be opened)
              --secret HEX, --client-secret HEX   the same on the command line: unsafe, other
                                    users can read it in the process list
      name:   --name TEXT           display name (UTF-8) used by "userlist --from-accounts"
      status: --last-copy SECONDS | --age SECONDS   time of the latest copy (default: age 0)
              --files N  --total-size BYTES  --exclude NAME (repeatable)
              --disk-space BYTES  --stored-copies N  --copies-made N
              --no-status           remove the account's status
              --fault NAME          per-account fault (repeatable): chunked, slow, wrong-type,
                                    truncate, bad-tag, trailing-byte, no-answer
              --no-faults           remove the account's faults
  kpv-keytool userlist --out FILE [--account-file FILE]... [--from-accounts FILE.json]
      Writes a user list (the format of account_list.bin) with the accounts in the order given;
      --account-file reads one account per line, ID:HEX:NAME, from FILE ("-": standard input);
      --from-accounts adds every account of that file (its clientKey or else key, and its
      name). NAME is UTF-8 and is stored in Windows-1252. --account ID:HEX:NAME gives one
      account on the command line: unsafe, other users can read it in the process list.
)";

int fail(const std::string& message) {
    std::cerr << "kpv-keytool: " << message << "\n";
    return 1;
}

int usageError(const std::string& message) {
    std::cerr << "kpv-keytool: " << message << "; try kpv-keytool --help\n";
    return 2;
}

bool parseUnsigned(std::string_view text, std::uint64_t max, std::uint64_t& out) {
    if (text.empty() || text.size() > 20)
        return false;
    std::uint64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return false;
        const auto digit = static_cast<std::uint64_t>(c - '0');
        if (value > (max - digit) / 10)
            return false;
        value = value * 10 + digit;
    }
    out = value;
    return true;
}

WipingString wiping(std::string_view text) {
    return WipingString(text.data(), text.size());
}

int accountCommand(const std::vector<std::string>& words) {
    AccountEdit edit;
    bool haveId = false;
    std::string rlfPath;
    std::string accountsPath;
    std::string_view secretHex; // points into words: no further copy of the secret
    bool secretGiven = false;
    SecretSources sources;
    std::string error;
    std::uint64_t secretLength = 32;
    bool keepSecret = false;
    bool statusGiven = false;
    WipingJson status = WipingJson::object();
    WipingJson excluded = WipingJson::array();
    WipingJson faults = WipingJson::array();
    bool faultsGiven = false;
    bool noFaults = false;

    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string_view option = words[i];
        if (option == "--keep-secret") {
            keepSecret = true;
            continue;
        }
        if (option == "--no-status") {
            edit.removeStatus = true;
            continue;
        }
        if (option == "--no-faults") {
            noFaults = true;
            continue;
        }
        if (i + 1 >= words.size())
            return usageError("unknown option or missing value: " + std::string(option));
        const std::string_view value = words[++i];
        std::uint64_t number = 0;
        const auto numberOf = [&](std::uint64_t max) {
            if (!parseUnsigned(value, max, number))
                throw std::string("bad number for ") + std::string(option) + ": " +
                    std::string(value);
            return number;
        };
        try {
            if (option == "--id") {
                edit.id = static_cast<std::uint32_t>(numberOf(0xFFFFFFFFu));
                haveId = true;
            } else if (option == "--rlf") {
                rlfPath = value;
            } else if (option == "--accounts") {
                accountsPath = value;
            } else if (option == "--secret") {
                if (secretGiven)
                    return usageError("key material given twice");
                secretHex = value;
                secretGiven = true;
            } else if (option == "--secret-file") {
                if (secretGiven)
                    return usageError("key material given twice");
                if (!readSecretHex(option, std::string(value), sources, edit.secret, error))
                    return usageError(error);
                secretGiven = true;
            } else if (option == "--secret-length") {
                secretLength = numberOf(32);
                if (secretLength != 16 && secretLength != 24 && secretLength != 32)
                    return usageError("--secret-length must be 16, 24 or 32");
            } else if (option == "--client-secret") {
                if (!decodeHex(value, edit.clientKey))
                    return usageError("--client-secret is not hexadecimal");
                edit.setClientKey = true;
            } else if (option == "--client-secret-file") {
                if (!readSecretHex(option, std::string(value), sources, edit.clientKey, error))
                    return usageError(error);
                edit.setClientKey = true;
            } else if (option == "--name") {
                edit.name = wiping(value);
            } else if (option == "--last-copy") {
                status["lastCopyTime"] = numberOf(0xFFFFFFFFu);
                statusGiven = true;
            } else if (option == "--age") {
                status["ageSeconds"] = numberOf(UINT64_MAX);
                statusGiven = true;
            } else if (option == "--files" || option == "--stored-copies" ||
                       option == "--copies-made") {
                const char* field = option == "--files"           ? "fileCount"
                                    : option == "--stored-copies" ? "storedCopies"
                                                                  : "copiesMade";
                status[field] = numberOf(0xFFFFFFFFu);
                statusGiven = true;
            } else if (option == "--total-size" || option == "--disk-space") {
                status[option == "--total-size" ? "totalSize" : "diskSpace"] = numberOf(UINT64_MAX);
                statusGiven = true;
            } else if (option == "--exclude") {
                excluded.push_back(wiping(value));
                statusGiven = true;
            } else if (option == "--fault") {
                Fault fault{};
                if (!parseFault(value, fault))
                    return usageError("unknown fault: " + std::string(value));
                faults.push_back(wiping(value));
                faultsGiven = true;
            } else {
                return usageError("unknown option: " + std::string(option));
            }
        } catch (const std::string& message) {
            return usageError(message);
        }
    }
    if (!haveId)
        return usageError("account needs --id");
    if (rlfPath.empty() && accountsPath.empty())
        return usageError("account needs --rlf, --accounts or both");
    if (statusGiven && edit.removeStatus)
        return usageError("--no-status cannot be combined with status values");
    if (status.contains("lastCopyTime") && status.contains("ageSeconds"))
        return usageError("give --last-copy or --age, not both");
    if ((keepSecret ? 1 : 0) + (secretGiven ? 1 : 0) > 1)
        return usageError("give one of --secret-file, --secret and --keep-secret");

    if (keepSecret) {
        if (accountsPath.empty())
            return usageError("--keep-secret needs --accounts");
        if (!secretFromAccountsFile(accountsPath, edit.id, edit.secret, error))
            return fail(error);
    } else if (secretGiven && secretHex.data() != nullptr) {
        if (!decodeHex(secretHex, edit.secret))
            return usageError("--secret is not hexadecimal");
    } else if (!secretGiven && !fillRandom(static_cast<std::uint32_t>(secretLength), edit.secret)) {
        return fail("the system's random source failed");
    }
    if (edit.secret.length() != 16 && edit.secret.length() != 24 && edit.secret.length() != 32)
        std::cerr << "kpv-keytool: warning: key material of " << edit.secret.length()
                  << " bytes; the client opens statuses only for 16, 24 or 32 bytes\n";

    if (statusGiven) {
        if (!status.contains("lastCopyTime") && !status.contains("ageSeconds"))
            status["ageSeconds"] = 0;
        if (!excluded.empty())
            status["excludedFiles"] = excluded;
        edit.status = status;
    }
    if (faultsGiven)
        edit.faults = faults;
    else if (noFaults)
        edit.faults = WipingJson::array();

    std::cout << "account " << edit.id << ": key material " << edit.secret.length() << " bytes";
    if (!accountsPath.empty()) {
        if (!updateAccountsFile(accountsPath, edit, error))
            return fail(error);
        std::cout << "; updated " << accountsPath;
    }
    if (!rlfPath.empty()) {
        if (!writeFileAtomically(rlfPath, encodeRemoteLogFile(edit.id, edit.secret)))
            return fail(rlfPath + ": cannot be written");
        std::cout << "; wrote " << rlfPath;
    }
    std::cout << "\n";
    return 0;
}

// ID:HEX:NAME; the name may itself hold colons.
bool parseAccountArgument(std::string_view text, UserListEntry& entry, std::string& error) {
    const std::size_t first = text.find(':');
    const std::size_t second = first == std::string_view::npos ? first : text.find(':', first + 1);
    std::uint64_t id = 0;
    if (second == std::string_view::npos ||
        !parseUnsigned(text.substr(0, first), 0xFFFFFFFFu, id)) {
        error = "--account wants ID:HEX:NAME";
        return false;
    }
    entry.id = static_cast<std::uint32_t>(id);
    if (!decodeHex(text.substr(first + 1, second - first - 1), entry.secret)) {
        error = "--account " + std::to_string(id) + ": key material is not hexadecimal";
        return false;
    }
    if (!utf8ToAnsi(text.substr(second + 1), entry.name) || !isStorableName(entry.name)) {
        error = "--account " + std::to_string(id) +
                ": name is not a storable Windows-1252 text (at most 1023 bytes, no control "
                "characters)";
        return false;
    }
    return true;
}

// One ID:HEX:NAME per line; empty lines are skipped. Errors name the line, never its content.
bool accountsFromLines(const SecureBuffer& text, std::vector<UserListEntry>& entries,
                       std::string& error) {
    std::string_view rest(text.text(), text.length());
    for (std::size_t line = 1; !rest.empty(); ++line) {
        const std::size_t end = rest.find('\n');
        std::string_view current = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        if (!current.empty() && current.back() == '\r')
            current.remove_suffix(1); // the name keeps its own spaces
        if (trimmed(current).empty())
            continue;
        UserListEntry entry;
        if (!parseAccountArgument(current, entry, error)) {
            error = "--account-file, line " + std::to_string(line) + ": " + error;
            return false;
        }
        entries.push_back(std::move(entry));
    }
    return true;
}

int userListCommand(const std::vector<std::string>& words) {
    std::string outPath;
    std::vector<UserListEntry> entries;
    std::string error;
    SecretSources sources;
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string_view option = words[i];
        if (i + 1 >= words.size())
            return usageError("unknown option or missing value: " + std::string(option));
        const std::string_view value = words[++i];
        if (option == "--out") {
            outPath = value;
        } else if (option == "--account") {
            UserListEntry entry;
            if (!parseAccountArgument(value, entry, error))
                return usageError(error);
            entries.push_back(std::move(entry));
        } else if (option == "--account-file") {
            SecureBuffer text;
            if (!readSecretSource(option, std::string(value), sources, text, error) ||
                !accountsFromLines(text, entries, error))
                return usageError(error);
        } else if (option == "--from-accounts") {
            std::vector<UserListEntry> more;
            if (!userListFromAccountsFile(std::string(value), more, error))
                return fail(error);
            for (UserListEntry& entry : more)
                entries.push_back(std::move(entry));
        } else {
            return usageError("unknown option: " + std::string(option));
        }
    }
    if (outPath.empty())
        return usageError("userlist needs --out");
    if (!writeFileAtomically(outPath, encodeUserList(entries)))
        return fail(outPath + ": cannot be written");
    std::cout << "wrote " << outPath << " with " << entries.size() << " account(s)\n";
    return 0;
}

// The options of each command, as CLI11 reads them; the command then takes them in the order
// given (several are order-dependent: user-list entries, and key material read once).
struct Described {
    std::string name;
    std::string description;
};

struct CommandOptions {
    std::vector<Described> values;
    std::vector<Described> flags;
};

const CommandOptions ACCOUNT_OPTIONS = {
    {{"--id", "the account's id"},
     {"--rlf", "remote log file to write"},
     {"--accounts", "the server's accounts file to update"},
     {"--secret", "key material in hexadecimal (unsafe: visible in the process list)"},
     {"--secret-file", "key material in hexadecimal from FILE (\"-\": standard input)"},
     {"--secret-length", "a fresh random secret of N bytes: 16, 24 or 32 (default 32)"},
     {"--client-secret", "key material for the user list instead of the server's (unsafe)"},
     {"--client-secret-file", "the same from FILE (\"-\": standard input)"},
     {"--name", "display name (UTF-8) used by \"userlist --from-accounts\""},
     {"--last-copy", "time of the latest copy, seconds since 1970"},
     {"--age", "age of the latest copy in seconds (default 0)"},
     {"--files", "number of files"},
     {"--stored-copies", "number of stored copies"},
     {"--copies-made", "number of copy runs"},
     {"--total-size", "total size in bytes"},
     {"--disk-space", "disk space in bytes"},
     {"--exclude", "an excluded file's name (repeatable)"},
     {"--fault", "per-account fault (repeatable)"}},
    {{"--keep-secret", "the key already in the accounts file"},
     {"--no-status", "remove the account's status"},
     {"--no-faults", "remove the account's faults"}}};
const CommandOptions USERLIST_OPTIONS = {
    {{"--out", "the user list to write"},
     {"--account", "one account, ID:HEX:NAME (unsafe: visible in the process list)"},
     {"--account-file", "accounts, one ID:HEX:NAME a line, from FILE (\"-\": standard input)"},
     {"--from-accounts", "every account of a server's accounts file"}},
    {}};

void declare(CLI::App& command, const CommandOptions& options) {
    for (const Described& option : options.values)
        command.add_option(option.name, option.description)
            ->type_name("VALUE")
            ->allow_extra_args(false)
            ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    for (const Described& option : options.flags)
        command.add_flag(option.name)->description(option.description);
}

// The parsed options as words again ("--name", value, "--flag", ...), in the order given.
std::vector<std::string> inOrder(const CLI::App& command) {
    std::vector<std::string> words;
    std::map<const CLI::Option*, std::size_t> used;
    for (const CLI::Option* option : command.parse_order()) {
        const std::string name = "--" + option->get_single_name();
        words.push_back(name);
        if (option->get_expected_min() > 0)
            words.push_back(option->results().at(used[option]++));
    }
    return words;
}

} // namespace

int main(int argc, char** argv) {
    CLI::App app("Makes the key files with which the client is tried out and keeps the reference "
                 "server's accounts file in step with them.",
                 "kpv-keytool");
    app.require_subcommand(1);
    app.footer(USAGE);
    CLI::App* account = app.add_subcommand(
        "account", "write a remote log file and/or add or update the account in an accounts file");
    declare(*account, ACCOUNT_OPTIONS);
    CLI::App* userList =
        app.add_subcommand("userlist", "write a user list (the format of account_list.bin)");
    declare(*userList, USERLIST_OPTIONS);
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        std::cout << app.help();
        return 0;
    } catch (const CLI::ParseError& e) {
        return usageError(e.what());
    }
    try {
        if (account->parsed())
            return accountCommand(inOrder(*account));
        return userListCommand(inOrder(*userList));
    } catch (const std::exception& e) {
        return fail(e.what());
    }
}
