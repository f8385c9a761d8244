// kpv-server: the reference monitoring server for trying the client out.
#include "tools/server/server.h"

#include <CLI/CLI.hpp>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <string_view>

namespace {

kpv::tools::StatusServer* runningServer = nullptr;

extern "C" void onStopSignal(int) {
    if (runningServer != nullptr)
        runningServer->stop();
}

bool parseNumber(std::string_view text, std::uint32_t max, std::uint32_t& out) {
    if (text.empty() || text.size() > 10)
        return false;
    std::uint64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    if (value > max)
        return false;
    out = static_cast<std::uint32_t>(value);
    return true;
}

// A decimal option from min to max that fills field.
void addNumber(CLI::App& app, const std::string& name, std::uint32_t& field, std::uint32_t min,
               std::uint32_t max, const std::string& description) {
    app.add_option_function<std::string>(
           name,
           [&field, name, min, max](const std::string& value) {
               std::uint32_t number = 0;
               if (!parseNumber(value, max, number) || number < min)
                   throw CLI::ValidationError(name, "bad number: " + value);
               field = number;
           },
           description)
        ->type_name("N");
}

} // namespace

int main(int argc, char** argv) {
    kpv::tools::ServerConfig config;
    config.accountsPath = "accounts.json";
    CLI::App app("kpv-server: the reference monitoring server. Prints \"listening on ADDR:PORT\" "
                 "on stdout once ready; SIGINT or SIGTERM stop it.",
                 "kpv-server");
    app.add_option("--accounts", config.accountsPath,
                   "accounts file (JSON), read afresh for every request (default: accounts.json)")
        ->type_name("FILE");
    app.add_option("--address", config.address, "IPv4 address to listen on (default: 127.0.0.1)")
        ->type_name("ADDR");
    std::uint32_t port = config.port;
    addNumber(app, "--port", port, 0, 65535, "TCP port (default: 55502; 0 picks a free one)");
    app.add_option_function<std::vector<std::string>>(
           "--fault",
           [&config](const std::vector<std::string>& names) {
               for (const std::string& name : names) {
                   kpv::tools::Fault fault{};
                   if (!kpv::tools::parseFault(name, fault))
                       throw CLI::ValidationError("--fault", "unknown fault: " + name);
                   config.faults.add(fault);
               }
           },
           "misbehave in every reply; repeatable. NAME is one of chunked, slow, wrong-type, "
           "truncate, bad-tag, trailing-byte, no-answer")
        ->type_name("NAME")
        ->allow_extra_args(false);
    addNumber(app, "--delay-ms", config.delayMs, 0, 0xFFFFFFFFu,
              "wait of the slow fault (default: 2000)");
    addNumber(app, "--chunk-bytes", config.chunkBytes, 1, 0xFFFFFFFFu,
              "piece size of the chunked fault (default: 7)");
    addNumber(app, "--chunk-pause-ms", config.chunkPauseMs, 0, 0xFFFFFFFFu,
              "pause between pieces of the chunked fault (default: 20)");
    addNumber(app, "--idle-ms", config.idleLimitMs, 0, 0xFFFFFFFFu,
              "close a connection silent for this long (default: 300000)");
    addNumber(app, "--request-ms", config.requestLimitMs, 0, 0xFFFFFFFFu,
              "close a connection whose request has not arrived whole within this long "
              "(default: 10000)");
    addNumber(app, "--reply-ms", config.replyLimitMs, 1, 0xFFFFFFFFu,
              "close a connection whose reply (each piece of a chunked one) has not left "
              "within this long (default: 30000)");
    addNumber(app, "--max-connections", config.maxConnections, 1, 0xFFFFFFFFu,
              "connections open at once, in all (default: 64)");
    addNumber(app, "--per-address", config.maxPerAddress, 1, 0xFFFFFFFFu,
              "connections open at once from one IPv4 address (default: 8)");
    bool quiet = false;
    app.add_flag("--quiet", quiet, "no log lines on stderr");
    app.add_flag("--never-read", config.neverRead,
                 "test option: hold every connection without reading from it (4 KiB receive "
                 "buffer), until the client resets it or --idle-ms passes");
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        std::cout << app.help();
        return 0;
    } catch (const CLI::ParseError& e) {
        std::cerr << "kpv-server: " << e.what() << "; try kpv-server --help\n";
        return 2;
    }
    config.port = static_cast<std::uint16_t>(port);
    if (quiet)
        config.log = false;

    kpv::tools::StatusServer server(config);
    std::string error;
    if (!server.open(error)) {
        std::cerr << "kpv-server: " << error << "\n";
        return 1;
    }
    runningServer = &server;
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    std::cout << "listening on " << server.address() << ':' << server.port() << std::endl;
    std::cerr << "kpv-server: accounts from " << config.accountsPath << "; faults "
              << config.faults.describe() << std::endl;
    server.run();
    runningServer = nullptr;
    std::cerr << "kpv-server: stopped after " << server.requestsAnswered() << " request(s)"
              << std::endl;
    return 0;
}
