#pragma once
// A running client for tests of the commands: a fresh working folder, the scripted user
// interface, a clock that stands still, and a real connection to a loopback port. Without a
// port the connection goes to 127.0.0.1:1, where nothing listens, so every exchange fails at
// once with the usual message.
#include "app/client.h"
#include "net/server_connection.h"
#include "tests/net/net_test_support.h"
#include "tests/support/fixed_clock.h"
#include "tests/support/scripted_ui.h"
#include "tests/support/temp_folder.h"

namespace kpv::test {

inline constexpr std::int64_t FIXTURE_NOW = 1800000000;

struct ClientFixture {
    explicit ClientFixture(std::int64_t now = FIXTURE_NOW, std::uint16_t port = 1)
        : clock(now), connection(loopbackAddress(port), startupFailed, systemSocketLayer(),
                                 systemClock(), fastTiming()),
          client{ui, connection, clock, {}, {}, false, {}} {}

    TempFolder folder;
    ScriptedUi ui;
    FixedClock clock;
    bool startupFailed = false;
    ServerConnection connection;
    Client client;
};

} // namespace kpv::test
