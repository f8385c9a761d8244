#include "gui-tests/auto/options.h"

#include "gui-tests/auto/text.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <deque>

namespace kpv::automation {

void Options::addValue(const std::wstring& name, const std::wstring& value) {
    values_.emplace(name, value);
}

void Options::addFlag(const std::wstring& name) {
    flags_.push_back(name);
}

void Options::addWord(const std::wstring& word) {
    positional_.push_back(word);
}

bool Options::flag(const std::wstring& name) const {
    return std::find(flags_.begin(), flags_.end(), name) != flags_.end();
}

std::optional<std::wstring> Options::text(const std::wstring& name) const {
    const auto found = values_.find(name);
    if (found == values_.end())
        return std::nullopt;
    return found->second;
}

std::vector<std::wstring> Options::all(const std::wstring& name) const {
    std::vector<std::wstring> result;
    const auto range = values_.equal_range(name);
    for (auto it = range.first; it != range.second; ++it)
        result.push_back(it->second);
    return result;
}

std::optional<std::int64_t> Options::number(const std::wstring& name) {
    const auto value = text(name);
    if (!value)
        return std::nullopt;
    const auto parsed = parseNumber(*value);
    if (!parsed)
        error_ = "option --" + toUtf8(name) + " needs a number";
    return parsed;
}

DWORD Options::timeoutMs(DWORD fallback) {
    const auto value = number(L"timeout");
    if (!value)
        return fallback;
    if (*value < 0 || *value > 3600000) {
        error_ = "--timeout must be 0 to 3600000 ms";
        return 0;
    }
    return static_cast<DWORD>(*value);
}

namespace {

// Where CLI11 leaves the words of one option of one command.
struct Received {
    std::size_t command;
    std::string name; // "" for the plain words
    bool isFlag = false;
    std::vector<std::string> words{};
    CLI::Option* option = nullptr;
};

} // namespace

ParsedCommandLine parseCommandLine(std::vector<std::string> words,
                                   const std::vector<CommandShape>& commands,
                                   const std::string& description, const std::string& footer) {
    CLI::App app(description, "kpv-auto");
    app.require_subcommand(1);
    app.footer(footer);
    // Plain words may be Linux paths under Wine ("/work/..."): never "/option" switches.
    app.allow_windows_style_options(false);
    std::deque<Received> received; // stable addresses for CLI11's references
    std::vector<CLI::App*> subcommands;
    for (std::size_t i = 0; i < commands.size(); ++i) {
        const CommandShape& shape = commands[i];
        CLI::App* sub = app.add_subcommand(shape.name, shape.summary);
        subcommands.push_back(sub);
        if (shape.passThrough) {
            sub->prefix_command();
            continue;
        }
        std::vector<std::string> values = shape.values;
        values.push_back("timeout");
        for (const std::string& name : values) {
            Received& slot = received.emplace_back(Received{i, name});
            slot.option = sub->add_option("--" + name, slot.words)->allow_extra_args(false);
        }
        for (const std::string& name : shape.flags) {
            Received& slot = received.emplace_back(Received{i, name, true});
            slot.option = sub->add_flag("--" + name);
        }
        if (!shape.words.empty()) {
            Received& slot = received.emplace_back(Received{i, ""});
            slot.option = sub->add_option("words", slot.words)->type_name(shape.words);
        }
    }

    ParsedCommandLine result;
    if (!words.empty() && words.front() == "help")
        words.front() = "--help";
    std::reverse(words.begin(), words.end()); // CLI11 takes the last word first
    try {
        app.parse(words);
    } catch (const CLI::CallForHelp&) {
        result.message = app.help();
        return result;
    } catch (const CLI::ParseError& error) {
        result.exitCode = 2;
        result.message = std::string("kpv-auto: ") + error.what() + "; try kpv-auto --help\n";
        return result;
    }
    for (std::size_t i = 0; i < subcommands.size(); ++i) {
        if (!subcommands[i]->parsed())
            continue;
        result.command = i;
        for (const std::string& word : subcommands[i]->remaining())
            result.options.addWord(fromUtf8(word));
    }
    for (const Received& slot : received) {
        if (slot.command != result.command)
            continue;
        if (slot.isFlag && slot.option->count() > 0)
            result.options.addFlag(fromUtf8(slot.name));
        for (const std::string& word : slot.words) {
            if (slot.name.empty())
                result.options.addWord(fromUtf8(word));
            else
                result.options.addValue(fromUtf8(slot.name), fromUtf8(word));
        }
    }
    return result;
}

} // namespace kpv::automation
