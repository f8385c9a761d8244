// The connection record: queueing, socket start-up, where the server's address comes from,
// and sending, each against a loopback server.
#include "net/exchange_stage.h"
#include "net/frame.h"
#include "net/server_connection.h"
#include "tests/net/net_test_support.h"
#include "tests/support/release_probe.h"
#include "tests/support/temp_folder.h"

#include <doctest/doctest.h>

#include <chrono>
#include <filesystem>

using kpv::ServerConnection;
using kpv::test::ActionLog;
using kpv::test::Bytes;
using kpv::test::fastTiming;
using kpv::test::ForwardingSockets;
using kpv::test::frameBytes;
using kpv::test::loopbackAddress;
using kpv::test::LoopbackServer;
using kpv::test::makeAction;
using kpv::test::readFileBytes;
using kpv::test::RecordingClock;
using kpv::test::replyWith;
using kpv::test::statusRequest;
using kpv::test::streamOf;
using kpv::test::TempFolder;
using kpv::test::writeFileBytes;
using Events = std::vector<std::string>;

namespace {

const Bytes REQUEST = statusRequest({7, 300});
const Bytes REPLY = frameBytes(kpv::MSG_STATUS_REPLY, {1, 0, 0, 0, 0xAB});
const Bytes CACHE_OF_LOOPBACK = {0x04, 0x00, 0x00, 0x00, 0x7F, 0x00, 0x00, 0x01};

bool queue(ServerConnection& connection, ActionLog& log, const Bytes& request = REQUEST) {
    std::unique_ptr<kpv::SendAction> action = makeAction(log);
    return connection.queueAction(action, streamOf(request));
}

} // namespace

TEST_CASE("queueAction takes an action only with a whole request and a free slot") {
    ForwardingSockets sockets;
    RecordingClock clock;
    bool startupFailed = true;
    ActionLog first;
    ActionLog second;
    {
        ServerConnection connection(loopbackAddress(1), startupFailed, sockets, clock,
                                    fastTiming());
        CHECK_FALSE(startupFailed);
        CHECK_FALSE(connection.runExchange()); // nothing queued

        std::unique_ptr<kpv::SendAction> none;
        CHECK_FALSE(connection.queueAction(none, streamOf(REQUEST)));

        Bytes cut = REQUEST;
        cut.pop_back();
        std::unique_ptr<kpv::SendAction> action = makeAction(first);
        CHECK_FALSE(connection.queueAction(action, streamOf(cut)));
        CHECK(action != nullptr);
        CHECK_FALSE(connection.hasAction());
        CHECK(connection.outgoing().contents.empty());

        kpv::RecordStream request = streamOf(REQUEST);
        request.cursor = 9;
        CHECK(connection.queueAction(action, request));
        CHECK(action == nullptr);
        CHECK(connection.hasAction());
        CHECK(kpv::test::bytesOf(connection.outgoing().contents) == REQUEST);
        CHECK(connection.outgoing().cursor == 9);
        CHECK(connection.longIdle() == 0);
        CHECK(connection.firstRetry() == 1);

        std::unique_ptr<kpv::SendAction> later = makeAction(second);
        CHECK_FALSE(connection.queueAction(later, streamOf(statusRequest({1}))));
        CHECK(later != nullptr);
        CHECK(kpv::test::bytesOf(connection.outgoing().contents) == REQUEST);
        CHECK(second.events.empty());
    }
    // The connection destroyed the action it held; the refused one stayed with its caller.
    CHECK(first.events == Events{"destroyed"});
    CHECK(second.events == Events{"destroyed"});
    CHECK(sockets.cleanups == 1);
}

TEST_CASE("without socket start-up every exchange fails at socket creation") {
    LoopbackServer server({replyWith(REPLY)});
    ForwardingSockets sockets;
    sockets.failStartup = true;
    RecordingClock clock;
    bool startupFailed = false;
    ActionLog log;
    {
        ServerConnection connection(loopbackAddress(server.port()), startupFailed, sockets, clock,
                                    fastTiming());
        CHECK(startupFailed);
        for (int exchange = 0; exchange < 2; ++exchange) {
            REQUIRE(queue(connection, log));
            CHECK_FALSE(connection.runExchange());
            CHECK_FALSE(connection.hasAction());
        }
    }
    server.finish();
    CHECK(log.events == Events{"failed", "destroyed", "failed", "destroyed"});
    CHECK(log.failedStage == kpv::StageSocketCreate);
    CHECK(log.failedError == 0);
    CHECK(server.connections() == 0);
    CHECK(sockets.opens == 0);
    CHECK(sockets.cleanups == 0); // nothing to undo
}

TEST_CASE("a fixed address is used as it is: no resolution, no cache file") {
    TempFolder folder;
    LoopbackServer server({replyWith(REPLY), replyWith(REPLY)});
    ForwardingSockets sockets;
    RecordingClock clock;
    bool startupFailed = true;
    ServerConnection connection(loopbackAddress(server.port()), startupFailed, sockets, clock,
                                fastTiming());
    ActionLog log;
    REQUIRE(queue(connection, log));
    CHECK(connection.runExchange());
    CHECK_FALSE(kpv::test::fileExists("last_ip.bin"));

    const Bytes otherAddress = {0x04, 0x00, 0x00, 0x00, 0x0A, 0x00, 0x00, 0x01};
    writeFileBytes("last_ip.bin", otherAddress);
    REQUIRE(queue(connection, log));
    CHECK(connection.runExchange());
    CHECK(readFileBytes("last_ip.bin") == otherAddress);

    CHECK(sockets.resolves == 0);
    CHECK(sockets.connectedAddress == 0x7F000001);
    CHECK(log.events ==
          Events{"reply", "completed", "destroyed", "reply", "completed", "destroyed"});
}

TEST_CASE("a resolved name is kept in last_ip.bin and connected with the configured port") {
    TempFolder folder;
    LoopbackServer server({replyWith(REPLY)});
    ForwardingSockets sockets;
    RecordingClock clock;
    bool startupFailed = true;
    ServerConnection connection(loopbackAddress(server.port(), 0, "localhost"), startupFailed,
                                sockets, clock, fastTiming());
    ActionLog log;
    REQUIRE(queue(connection, log));
    CHECK(connection.runExchange());
    CHECK(log.events == Events{"reply", "completed", "destroyed"});
    CHECK(readFileBytes("last_ip.bin") == CACHE_OF_LOOPBACK);
    CHECK(sockets.connectedAddress == 0x7F000001);
    CHECK(sockets.connectedPort == server.port());
}

TEST_CASE("when the name does not resolve the cached address is used with the configured port") {
    TempFolder folder;
    writeFileBytes("last_ip.bin", CACHE_OF_LOOPBACK);
    LoopbackServer server({replyWith(REPLY)});
    ForwardingSockets sockets;
    RecordingClock clock;
    bool startupFailed = true;
    ServerConnection connection(loopbackAddress(server.port(), 0), startupFailed, sockets, clock,
                                fastTiming());
    ActionLog log;
    REQUIRE(queue(connection, log));
    CHECK(connection.runExchange());
    CHECK(log.events == Events{"cached", "reply", "completed", "destroyed"});
    CHECK(log.cachedValue == 0);
    CHECK(sockets.resolves == 1);
    CHECK(sockets.connectedAddress == 0x7F000001);
    CHECK(sockets.connectedPort == server.port());
    CHECK(readFileBytes("last_ip.bin") == CACHE_OF_LOOPBACK);
}

TEST_CASE("no resolution and no usable cache: StageConnect with the resolver's error") {
    TempFolder folder;
    LoopbackServer server({replyWith(REPLY)});
    ForwardingSockets sockets;
    RecordingClock clock;
    bool startupFailed = true;
    ActionLog log;

    SUBCASE("unknown name, no cache file") {
        ServerConnection connection(loopbackAddress(server.port(), 0), startupFailed, sockets,
                                    clock, fastTiming());
        REQUIRE(queue(connection, log));
        CHECK_FALSE(connection.runExchange());
    }
    SUBCASE("unknown name, a cache holding 0.0.0.0") {
        writeFileBytes("last_ip.bin", {0x04, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00});
        ServerConnection connection(loopbackAddress(server.port(), 0), startupFailed, sockets,
                                    clock, fastTiming());
        REQUIRE(queue(connection, log));
        CHECK_FALSE(connection.runExchange());
    }
    SUBCASE("a host name without its terminating zero is no name, not this machine") {
        kpv::ServerAddress endpoint = loopbackAddress(server.port(), 0, "localhost");
        endpoint.hostName.dropBack(1);
        ServerConnection connection(endpoint, startupFailed, sockets, clock, fastTiming());
        REQUIRE(queue(connection, log));
        CHECK_FALSE(connection.runExchange());
        CHECK_FALSE(kpv::test::fileExists("last_ip.bin"));
    }
    server.finish();
    CHECK(log.events == Events{"failed", "destroyed"});
    CHECK(log.failedStage == kpv::StageConnect);
    CHECK(log.failedError != 0);
    CHECK(sockets.connects == 0);
    CHECK(server.connections() == 0);
}

TEST_CASE("last_ip.bin is written only when the address changed, and never stops the exchange") {
    TempFolder folder;
    LoopbackServer server({replyWith(REPLY), replyWith(REPLY)});
    ForwardingSockets sockets;
    RecordingClock clock;
    bool startupFailed = true;
    ServerConnection connection(loopbackAddress(server.port(), 0, "localhost"), startupFailed,
                                sockets, clock, fastTiming());
    ActionLog log;

    // The same address already cached: the file is left alone.
    writeFileBytes("last_ip.bin", CACHE_OF_LOOPBACK);
    const auto written = std::filesystem::last_write_time("last_ip.bin") - std::chrono::hours(1);
    std::filesystem::last_write_time("last_ip.bin", written);
    REQUIRE(queue(connection, log));
    CHECK(connection.runExchange());
    CHECK(std::filesystem::last_write_time("last_ip.bin") == written);

    // A cache that cannot be written (here a folder in its place): connected all the same.
    std::filesystem::remove("last_ip.bin");
    std::filesystem::create_directory("last_ip.bin");
    REQUIRE(queue(connection, log));
    CHECK(connection.runExchange());
    server.finish();
    CHECK(log.events ==
          Events{"reply", "completed", "destroyed", "reply", "completed", "destroyed"});
    CHECK(server.connections() == 2);
    CHECK(sockets.opens == sockets.closes);
}

TEST_CASE("a refused connection fails at StageConnect with the socket's error number") {
    std::uint16_t freePort = 0;
    {
        kpv::test::TestListener gone;
        freePort = gone.port();
    }
    ForwardingSockets sockets;
    RecordingClock clock;
    bool startupFailed = true;
    ServerConnection connection(loopbackAddress(freePort), startupFailed, sockets, clock,
                                fastTiming());
    ActionLog log;
    REQUIRE(queue(connection, log));
    CHECK_FALSE(connection.runExchange());
    CHECK(log.events == Events{"failed", "destroyed"});
    CHECK(log.failedStage == kpv::StageConnect);
    CHECK(log.failedError != 0);
    CHECK_FALSE(connection.socketOpen());
    CHECK(sockets.opens == sockets.closes);
}

TEST_CASE("a send that takes only part of the request: the rest follows in order") {
    LoopbackServer server({replyWith(REPLY)});
    ForwardingSockets sockets;
    sockets.sendCap = 5;
    RecordingClock clock;
    bool startupFailed = true;
    ServerConnection connection(loopbackAddress(server.port()), startupFailed, sockets, clock,
                                fastTiming());
    ActionLog log;
    REQUIRE(queue(connection, log));
    CHECK(connection.runExchange());
    server.finish();
    CHECK(sockets.sends == static_cast<int>((REQUEST.size() + 4) / 5));
    REQUIRE(server.requests().size() == 1);
    CHECK(server.requests()[0] == REQUEST);
    CHECK(connection.outgoing().contents.empty());
}

TEST_CASE("an exchange wipes every buffer it gives back") {
    LoopbackServer server({replyWith(REPLY)});
    ForwardingSockets sockets;
    RecordingClock clock;
    bool startupFailed = true;
    ServerConnection connection(loopbackAddress(server.port()), startupFailed, sockets, clock,
                                fastTiming());
    ActionLog log;
    REQUIRE(queue(connection, log));
    kpv::test::ReleaseProbe probe;
    CHECK(connection.runExchange());
    CHECK(probe.blocksReleased() >= 3); // request, scratch, reply
    CHECK(probe.bytesReleased() >= kpv::RECEIVE_CHUNK);
    CHECK(probe.dirtyBlocks() == 0);
}
