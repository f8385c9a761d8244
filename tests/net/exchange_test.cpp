// Whole exchanges against loopback servers that answer well, slowly, wrongly or not at all.
#include "net/exchange_stage.h"
#include "net/frame.h"
#include "net/server_connection.h"
#include "tests/net/net_test_support.h"

#include <doctest/doctest.h>

#include <atomic>
#include <chrono>

using kpv::ServerConnection;
using kpv::test::ActionLog;
using kpv::test::Bytes;
using kpv::test::fastTiming;
using kpv::test::ForwardingSockets;
using kpv::test::frameBytes;
using kpv::test::loopbackAddress;
using kpv::test::LoopbackServer;
using kpv::test::RecordingAction;
using kpv::test::RecordingClock;
using kpv::test::replyWith;
using kpv::test::Script;
using kpv::test::ServerSide;
using kpv::test::statusRequest;
using kpv::test::streamOf;
using Events = std::vector<std::string>;

namespace {

const Bytes REQUEST = statusRequest({7, 300});
const Bytes REPLY = frameBytes(kpv::MSG_STATUS_REPLY, Bytes(26, 0x5A));

// One connection record against one scripted server, with the fast timing.
struct Exchange {
    explicit Exchange(std::vector<Script> scripts)
        : server(std::move(scripts)),
          connection(loopbackAddress(server.port()), startupFailed, sockets, clock, fastTiming()) {}

    // Queues a recording action set up by `setUp`, runs the exchange and times it.
    template <typename SetUp>
    bool run(ActionLog& log, SetUp setUp) {
        auto action = std::make_unique<RecordingAction>(log);
        setUp(*action);
        std::unique_ptr<kpv::SendAction> base = std::move(action);
        REQUIRE(connection.queueAction(base, streamOf(REQUEST)));
        const auto start = std::chrono::steady_clock::now();
        const bool result = connection.runExchange();
        elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
                      std::chrono::steady_clock::now() - start)
                      .count();
        CHECK_FALSE(connection.hasAction());
        CHECK_FALSE(connection.socketOpen());
        CHECK(connection.incoming().contents.empty());
        return result;
    }
    bool run(ActionLog& log) {
        return run(log, [](RecordingAction&) {});
    }

    LoopbackServer server;
    ForwardingSockets sockets;
    RecordingClock clock;
    bool startupFailed = true;
    ServerConnection connection;
    long long elapsed = 0;
};

Script hold(const Bytes& first) {
    return [first](ServerSide& server) {
        server.readFrame();
        server.send(first);
        server.waitForClose();
    };
}

Script closeAfter(const Bytes& part) {
    return [part](ServerSide& server) {
        server.readFrame();
        server.send(part);
    };
}

Bytes firstBytes(const Bytes& bytes, std::ptrdiff_t n) {
    return {bytes.begin(), bytes.begin() + n};
}

} // namespace

TEST_CASE("a whole reply reaches the action with its cursor at the body") {
    Exchange exchange({replyWith(REPLY)});
    ActionLog log;
    CHECK(exchange.run(log));
    exchange.server.finish();
    CHECK(log.events == Events{"reply", "completed", "destroyed"});
    REQUIRE(log.replies.size() == 1);
    CHECK(log.replies[0] == REPLY);
    CHECK(log.replyCursors[0] == 14);
    CHECK(exchange.server.requests() == std::vector<Bytes>{REQUEST});
    CHECK(exchange.connection.firstRetry() == 1);
    CHECK(exchange.clock.sleeps.empty());
}

TEST_CASE("a reply in many small pieces: each piece restarts the idle clock") {
    // Ten pieces 60 ms apart: 540 ms in all, beyond the 400 ms idle limit.
    Exchange exchange({[](ServerSide& server) {
        server.readFrame();
        server.sendInPieces(REPLY, 4, 60);
        server.waitForClose();
    }});
    ActionLog log;
    CHECK(exchange.run(log));
    CHECK(exchange.elapsed >= 500);
    CHECK(log.events == Events{"reply", "completed", "destroyed"});
    REQUIRE(log.replies.size() == 1);
    CHECK(log.replies[0] == REPLY);
}

TEST_CASE("a server that never answers: StageIdleTimeout with error 0 after the idle limit") {
    Exchange exchange({hold({})});
    ActionLog log;
    CHECK_FALSE(exchange.run(log));
    CHECK(log.events == Events{"retry", "failed", "destroyed"});
    CHECK(log.failedStage == kpv::StageIdleTimeout);
    CHECK(log.failedError == 0);
    CHECK(exchange.elapsed > 400);
    CHECK(exchange.elapsed < 400 + 1000);
    CHECK(exchange.connection.stage() == kpv::StageIdleTimeout);
}

TEST_CASE("bytes past the announced length can never make a frame: refused at once") {
    Bytes longer = REPLY;
    longer.push_back(0);
    Exchange exchange({hold(longer)});
    ActionLog log;
    CHECK_FALSE(exchange.run(log));
    CHECK(log.events == Events{"failed", "destroyed"});
    CHECK(log.failedStage == kpv::StageProtocol);
}

TEST_CASE("a real server that never reads cannot hold the send past the idle limit") {
    // 16 MiB outgrow any socket buffers here, the more so against a 4 KiB receive buffer.
    const Bytes huge = frameBytes(kpv::MSG_STATUS_REQUEST, Bytes(16u << 20, 0x41));
    std::atomic<bool> done{false};
    LoopbackServer server({[&done](ServerSide& side) {
                              for (int i = 0; i < 1000 && !done; ++i)
                                  side.pause(20);
                          }},
                          4096);
    ForwardingSockets sockets;
    RecordingClock clock;
    bool startupFailed = true;
    ServerConnection connection(loopbackAddress(server.port()), startupFailed, sockets, clock,
                                fastTiming());
    ActionLog log;
    std::unique_ptr<kpv::SendAction> action = std::make_unique<RecordingAction>(log);
    REQUIRE(connection.queueAction(action, streamOf(huge)));
    CHECK_FALSE(connection.runExchange());
    done = true;
    server.finish();
    CHECK(log.events == Events{"failed", "destroyed"});
    CHECK(log.failedStage == kpv::StageIdleTimeout);
    CHECK_FALSE(connection.socketOpen());
}

TEST_CASE("a reply that is not CHK fails at its third byte; the next exchange starts empty") {
    Exchange exchange({[](ServerSide& server) {
                           server.readFrame();
                           server.sendInPieces({'C', 'H', 'X', 0, 14, 0, 0, 0}, 1, 30);
                           server.waitForClose();
                       },
                       replyWith(REPLY)});
    ActionLog bad;
    CHECK_FALSE(exchange.run(bad));
    CHECK(bad.events == Events{"failed", "destroyed"}); // no retry for a protocol failure
    CHECK(bad.failedStage == kpv::StageProtocol);
    CHECK(bad.failedError == 0);
    CHECK(exchange.elapsed < 400);

    ActionLog good;
    CHECK(exchange.run(good));
    REQUIRE(good.replies.size() == 1);
    CHECK(good.replies[0] == REPLY);
}

TEST_CASE("a server that closes early: StageClosed, then the action decides about retrying") {
    SUBCASE("an action that never retries") {
        Exchange exchange({closeAfter(firstBytes(REPLY, 20))});
        ActionLog log;
        CHECK_FALSE(exchange.run(log));
        CHECK(log.events == Events{"retry", "failed", "destroyed"});
        CHECK(log.failedStage == kpv::StageClosed);
        CHECK(log.failedError == 0);
        CHECK(exchange.clock.sleeps.empty());
    }
    SUBCASE("an action that retries: the request goes out again on each new connection") {
        Exchange exchange({closeAfter(firstBytes(REPLY, 20)), closeAfter({}), replyWith(REPLY)});
        ActionLog log;
        CHECK(exchange.run(log, [](RecordingAction& action) {
            action.retries = 5;
            action.resend = REQUEST;
        }));
        exchange.server.finish();
        CHECK(log.events == Events{"retry", "retry", "reply", "completed", "destroyed"});
        CHECK(log.replies[0] == REPLY); // nothing of the broken reply is left in front of it
        CHECK(exchange.server.requests() == std::vector<Bytes>{REQUEST, REQUEST, REQUEST});
        CHECK(exchange.clock.sleeps == std::vector<std::uint32_t>{45, 15});
        CHECK(exchange.connection.firstRetry() == 1);
    }
    SUBCASE("an action that stops retrying hears of the failure that led there") {
        Exchange exchange({closeAfter({}), hold({})});
        ActionLog log;
        CHECK_FALSE(exchange.run(log, [](RecordingAction& action) {
            action.retries = 1;
            action.resend = REQUEST;
        }));
        CHECK(log.events == Events{"retry", "retry", "failed", "destroyed"});
        CHECK(log.failedStage == kpv::StageIdleTimeout);
    }
}

TEST_CASE("a reply the action ignores leaves the exchange waiting until the connection ends") {
    const Bytes otherType = frameBytes(kpv::MSG_STATUS_REQUEST, {1, 2});
    SUBCASE("closed by the server") {
        Exchange exchange({closeAfter(otherType)});
        ActionLog log;
        CHECK_FALSE(exchange.run(log, [](RecordingAction& action) { action.continues = 1; }));
        CHECK(log.events == Events{"reply", "retry", "failed", "destroyed"});
        CHECK(log.failedStage == kpv::StageClosed);
    }
    SUBCASE("held open by the server") {
        Exchange exchange({hold(otherType)});
        ActionLog log;
        CHECK_FALSE(exchange.run(log, [](RecordingAction& action) { action.continues = 1; }));
        CHECK(log.events == Events{"reply", "retry", "failed", "destroyed"});
        CHECK(log.failedStage == kpv::StageIdleTimeout);
        CHECK(exchange.elapsed > 400);
    }
}

TEST_CASE("a second request on the same connection, with the long idle limit for its reply") {
    const Bytes second = statusRequest({9});
    Exchange exchange({[second](ServerSide& server) {
        server.readFrame();
        server.send(REPLY);
        server.readFrame();
        server.pause(700); // beyond the idle limit, within the long one
        server.send(REPLY);
        server.waitForClose();
    }});
    ActionLog log;
    CHECK(exchange.run(log, [&second](RecordingAction& action) {
        action.continues = 1;
        action.nextRequest = second;
        action.askLongIdle = true;
    }));
    exchange.server.finish();
    CHECK(log.events == Events{"reply", "reply", "completed", "destroyed"});
    CHECK(exchange.server.requests() == std::vector<Bytes>{REQUEST, second});
    CHECK(exchange.elapsed >= 700);
    CHECK(exchange.connection.longIdle() == 0);
}

TEST_CASE("replies are held up to 100 MiB and no further") {
    SUBCASE("a frame of exactly the limit is whole") {
        Exchange exchange({[](ServerSide& server) {
            server.readFrame();
            const Bytes header = frameBytes(kpv::MSG_STATUS_REPLY, {});
            Bytes announced = header;
            announced[4] = 0x00, announced[5] = 0x00, announced[6] = 0x40, announced[7] = 0x06;
            server.send(announced); // 0x06400000 = 104857600 bytes
            server.sendFiller(kpv::MAX_REPLY_SIZE - 14, 0x33);
            server.waitForClose();
        }});
        ActionLog log;
        CHECK(exchange.run(log));
        CHECK(log.events == Events{"reply", "completed", "destroyed"});
        CHECK(log.replySizes == std::vector<std::uint32_t>{kpv::MAX_REPLY_SIZE});
    }
    SUBCASE("a longer one fails as a protocol failure once the limit is reached") {
        Exchange exchange({[](ServerSide& server) {
            server.readFrame();
            Bytes announced = frameBytes(kpv::MSG_STATUS_REPLY, {});
            announced[4] = 0x01, announced[5] = 0x00, announced[6] = 0x40, announced[7] = 0x06;
            server.send(announced);
            server.sendFiller(kpv::MAX_REPLY_SIZE, 0x33); // fails when the client gives up
        }});
        ActionLog log;
        CHECK_FALSE(exchange.run(log));
        exchange.server.finish();
        CHECK(log.events == Events{"failed", "destroyed"});
        CHECK(log.failedStage == kpv::StageProtocol);
        CHECK(log.failedError == 0);
    }
}
