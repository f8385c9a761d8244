// The connection record over the scripted network: queueing, socket start-up, where the
// server's address comes from, and sending.
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
using kpv::test::data;
using kpv::test::frameBytes;
using kpv::test::loopbackAddress;
using kpv::test::makeAction;
using kpv::test::readFileBytes;
using kpv::test::ScriptedConnection;
using kpv::test::ScriptedNetwork;
using kpv::test::statusRequest;
using kpv::test::streamOf;
using kpv::test::TempFolder;
using kpv::test::writeFileBytes;
using Events = std::vector<std::string>;

namespace {

const Bytes REQUEST = statusRequest({7, 300});
const Bytes REPLY = frameBytes(kpv::MSG_STATUS_REPLY, {1, 0, 0, 0, 0xAB});
const Bytes CACHE_OF_LOOPBACK = {0x04, 0x00, 0x00, 0x00, 0x7F, 0x00, 0x00, 0x01};
constexpr std::uint16_t PORT = 40123;

// A network whose resolver knows "localhost", answering `replies` exchanges with REPLY.
ScriptedNetwork answering(int replies) {
    ScriptedNetwork network;
    network.hosts = {{"localhost", 0x7F000001}};
    for (int i = 0; i < replies; ++i)
        network.steps.push_back(data(REPLY));
    return network;
}

} // namespace

TEST_CASE("queueAction takes an action only with a whole request and a free slot") {
    ScriptedNetwork network;
    ActionLog first;
    ActionLog second;
    {
        ScriptedConnection record(network, kpv::ExchangeTiming{}, loopbackAddress(1));
        ServerConnection& connection = record.connection;
        CHECK_FALSE(record.startupFailed);
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
    CHECK(network.startups == 1);
    CHECK(network.cleanups == 1);
}

TEST_CASE("without socket start-up every exchange fails at socket creation") {
    ScriptedNetwork network = answering(1);
    network.startupFails = true;
    ActionLog log;
    {
        ScriptedConnection record(network);
        CHECK(record.startupFailed);
        for (int exchange = 0; exchange < 2; ++exchange)
            CHECK_FALSE(record.run(log, REQUEST));
    }
    CHECK(log.events == Events{"failed", "destroyed", "failed", "destroyed"});
    CHECK(log.failedStage == kpv::StageSocketCreate);
    CHECK(log.failedError == 0);
    CHECK(network.opens == 0);
    CHECK(network.connects == 0);
    CHECK(network.cleanups == 0); // nothing to undo
}

TEST_CASE("a fixed address is used as it is: no resolution, no cache file") {
    TempFolder folder;
    ScriptedNetwork network = answering(2);
    ScriptedConnection record(network, kpv::ExchangeTiming{}, loopbackAddress(PORT));
    ActionLog log;
    CHECK(record.run(log, REQUEST));
    CHECK_FALSE(kpv::test::fileExists("last_ip.bin"));

    const Bytes otherAddress = {0x04, 0x00, 0x00, 0x00, 0x0A, 0x00, 0x00, 0x01};
    writeFileBytes("last_ip.bin", otherAddress);
    CHECK(record.run(log, REQUEST));
    CHECK(readFileBytes("last_ip.bin") == otherAddress);

    CHECK(network.resolves == 0);
    CHECK(network.connectedAddress == 0x7F000001);
    CHECK(network.connectedPort == PORT);
    CHECK(log.events ==
          Events{"reply", "completed", "destroyed", "reply", "completed", "destroyed"});
}

TEST_CASE("a resolved name is kept in last_ip.bin and connected with the configured port") {
    TempFolder folder;
    ScriptedNetwork network = answering(1);
    ScriptedConnection record(network, kpv::ExchangeTiming{},
                              loopbackAddress(PORT, 0, "localhost"));
    ActionLog log;
    CHECK(record.run(log, REQUEST));
    CHECK(log.events == Events{"reply", "completed", "destroyed"});
    CHECK(readFileBytes("last_ip.bin") == CACHE_OF_LOOPBACK);
    CHECK(network.resolves == 1);
    CHECK(network.connectedAddress == 0x7F000001);
    CHECK(network.connectedPort == PORT);
}

TEST_CASE("when the name does not resolve the cached address is used with the configured port") {
    TempFolder folder;
    writeFileBytes("last_ip.bin", CACHE_OF_LOOPBACK);
    ScriptedNetwork network = answering(1);
    ScriptedConnection record(network, kpv::ExchangeTiming{}, loopbackAddress(PORT, 0));
    ActionLog log;
    CHECK(record.run(log, REQUEST));
    CHECK(log.events == Events{"cached", "reply", "completed", "destroyed"});
    CHECK(log.cachedValue == 0);
    CHECK(network.resolves == 1);
    CHECK(network.connectedAddress == 0x7F000001);
    CHECK(network.connectedPort == PORT);
    CHECK(readFileBytes("last_ip.bin") == CACHE_OF_LOOPBACK);
}

TEST_CASE("no resolution and no usable cache: StageConnect with the resolver's error") {
    TempFolder folder;
    ScriptedNetwork network = answering(1);
    ActionLog log;

    SUBCASE("unknown name, no cache file") {
        ScriptedConnection record(network, kpv::ExchangeTiming{}, loopbackAddress(PORT, 0));
        CHECK_FALSE(record.run(log, REQUEST));
    }
    SUBCASE("unknown name, a cache holding 0.0.0.0") {
        writeFileBytes("last_ip.bin", {0x04, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00});
        ScriptedConnection record(network, kpv::ExchangeTiming{}, loopbackAddress(PORT, 0));
        CHECK_FALSE(record.run(log, REQUEST));
    }
    SUBCASE("a host name without its terminating zero is no name, not this machine") {
        kpv::ServerAddress endpoint = loopbackAddress(PORT, 0, "localhost");
        endpoint.hostName.dropBack(1);
        ScriptedConnection record(network, kpv::ExchangeTiming{}, endpoint);
        CHECK_FALSE(record.run(log, REQUEST));
        CHECK_FALSE(kpv::test::fileExists("last_ip.bin"));
    }
    CHECK(log.events == Events{"failed", "destroyed"});
    CHECK(log.failedStage == kpv::StageConnect);
    CHECK(log.failedError == 11001);
    CHECK(network.connects == 0);
}

TEST_CASE("last_ip.bin is written only when the address changed, and never stops the exchange") {
    TempFolder folder;
    ScriptedNetwork network = answering(2);
    ScriptedConnection record(network, kpv::ExchangeTiming{},
                              loopbackAddress(PORT, 0, "localhost"));
    ActionLog log;

    // The same address already cached: the file is left alone.
    writeFileBytes("last_ip.bin", CACHE_OF_LOOPBACK);
    const auto written = std::filesystem::last_write_time("last_ip.bin") - std::chrono::hours(1);
    std::filesystem::last_write_time("last_ip.bin", written);
    CHECK(record.run(log, REQUEST));
    CHECK(std::filesystem::last_write_time("last_ip.bin") == written);

    // A cache that cannot be written (here a folder in its place): connected all the same.
    std::filesystem::remove("last_ip.bin");
    std::filesystem::create_directory("last_ip.bin");
    CHECK(record.run(log, REQUEST));
    CHECK(log.events ==
          Events{"reply", "completed", "destroyed", "reply", "completed", "destroyed"});
    CHECK(network.connects == 2);
}

TEST_CASE("a send that takes only part of the request: the rest follows in order") {
    ScriptedNetwork network = answering(1);
    network.sendLimit = 5;
    ScriptedConnection record(network);
    ActionLog log;
    CHECK(record.run(log, REQUEST));
    CHECK(network.sent.size() == (REQUEST.size() + 4) / 5);
    CHECK(kpv::test::joined(network.sent) == REQUEST);
    CHECK(record.connection.outgoing().contents.empty());
}

TEST_CASE("an exchange wipes every buffer it gives back") {
    ScriptedNetwork network = answering(1);
    ScriptedConnection record(network);
    ActionLog log;
    std::unique_ptr<kpv::SendAction> action = makeAction(log);
    REQUIRE(record.connection.queueAction(action, streamOf(REQUEST)));
    kpv::test::ReleaseProbe probe;
    CHECK(record.connection.runExchange());
    CHECK(probe.blocksReleased() >= 3); // request, scratch, reply
    CHECK(probe.bytesReleased() >= kpv::RECEIVE_CHUNK);
    CHECK(probe.dirtyBlocks() == 0);
}
