#pragma once
// A running client for tests of the commands: a fresh working folder, the scripted user
// interface, a clock that stands still, and a connection. By default the connection runs over
// the scripted network, which refuses every connect (so every exchange fails at once with the
// usual message) until serve() gives it replies; with a port it goes to 127.0.0.1 through the
// machine's sockets (the tools' tests, against the reference server).
#include "app/client.h"
#include "net/server_connection.h"
#include "tests/net/net_test_support.h"
#include "tests/support/fixed_clock.h"
#include "tests/support/scripted_ui.h"
#include "tests/support/temp_folder.h"

#include <vector>

namespace kpv::test {

inline constexpr std::int64_t FIXTURE_NOW = 1800000000;

struct ClientFixture {
    explicit ClientFixture(std::int64_t now = FIXTURE_NOW)
        : clock(now), connection(loopbackAddress(DEFAULT_SERVER_PORT), startupFailed, network,
                                 network, fastTiming()),
          client{ui, connection, clock, {}, {}, false, {}} {
        network.connectsAfterResults = false;
    }
    ClientFixture(std::int64_t now, std::uint16_t port)
        : clock(now), connection(loopbackAddress(port), startupFailed, systemSocketLayer(),
                                 systemClock(), fastTiming()),
          client{ui, connection, clock, {}, {}, false, {}} {}

    // Each of `replies` answers one exchange, in order; the requests land in network.sent.
    void serve(const std::vector<Bytes>& replies) {
        network.connectsAfterResults = true;
        for (const Bytes& reply : replies)
            network.steps.push_back(data(reply));
    }

    TempFolder folder;
    ScriptedUi ui;
    FixedClock clock;
    ScriptedNetwork network;
    bool startupFailed = false;
    ServerConnection connection;
    Client client;
};

} // namespace kpv::test
