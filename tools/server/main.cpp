// kpv-server: the reference monitoring server for trying the client out.
#include "tools/server/server.h"

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

constexpr const char* USAGE =
    R"(usage: kpv-server [options]
  --accounts FILE      accounts file (JSON), read afresh for every request
                       (default: accounts.json)
  --address ADDR       IPv4 address to listen on (default: 127.0.0.1)
  --port PORT          TCP port (default: 55502; 0 picks a free one)
  --fault NAME         misbehave in every reply; repeatable. NAME is one of
                       chunked, slow, wrong-type, truncate, bad-tag, trailing-byte, no-answer
  --delay-ms N         wait of the slow fault (default: 2000)
  --chunk-bytes N      piece size of the chunked fault (default: 7)
  --chunk-pause-ms N   pause between pieces of the chunked fault (default: 20)
  --idle-ms N          close a connection silent for this long (default: 300000)
  --request-ms N       close a connection whose request has not arrived whole within
                       this long (default: 10000)
  --max-connections N  connections open at once, in all (default: 64)
  --per-address N      connections open at once from one IPv4 address (default: 8)
  --quiet              no log lines on stderr
Prints "listening on ADDR:PORT" on stdout once ready; SIGINT or SIGTERM stop it.
)";

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

// The field behind a numeric option, or null for any other option.
std::uint32_t* numberOption(std::string_view option, kpv::tools::ServerConfig& config) {
    if (option == "--delay-ms")
        return &config.delayMs;
    if (option == "--chunk-bytes")
        return &config.chunkBytes;
    if (option == "--chunk-pause-ms")
        return &config.chunkPauseMs;
    if (option == "--idle-ms")
        return &config.idleLimitMs;
    if (option == "--request-ms")
        return &config.requestLimitMs;
    if (option == "--max-connections")
        return &config.maxConnections;
    if (option == "--per-address")
        return &config.maxPerAddress;
    return nullptr;
}

int usageError(const std::string& message) {
    std::cerr << "kpv-server: " << message << "\n" << USAGE;
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    kpv::tools::ServerConfig config;
    config.accountsPath = "accounts.json";
    for (int i = 1; i < argc; ++i) {
        const std::string_view option = argv[i];
        if (option == "--help" || option == "-h") {
            std::cout << USAGE;
            return 0;
        }
        if (option == "--quiet") {
            config.log = false;
            continue;
        }
        if (i + 1 >= argc)
            return usageError("unknown option or missing value: " + std::string(option));
        const std::string_view value = argv[++i];
        std::uint32_t number = 0;
        if (option == "--accounts") {
            config.accountsPath = value;
        } else if (option == "--address") {
            config.address = value;
        } else if (option == "--port") {
            if (!parseNumber(value, 65535, number))
                return usageError("bad port: " + std::string(value));
            config.port = static_cast<std::uint16_t>(number);
        } else if (option == "--fault") {
            kpv::tools::Fault fault{};
            if (!kpv::tools::parseFault(value, fault))
                return usageError("unknown fault: " + std::string(value));
            config.faults.add(fault);
        } else if (std::uint32_t* field = numberOption(option, config)) {
            const bool atLeastOne = option == "--chunk-bytes" || option == "--max-connections" ||
                                    option == "--per-address";
            if (!parseNumber(value, 0xFFFFFFFFu, number) || (atLeastOne && number == 0))
                return usageError("bad number for " + std::string(option) + ": " +
                                  std::string(value));
            *field = number;
        } else {
            return usageError("unknown option: " + std::string(option));
        }
    }

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
