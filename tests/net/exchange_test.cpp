// Whole exchanges over the scripted network with the client's real timing: replies whole or
// broken, servers that close early, replies the action ignores, a second request on one
// connection, and the largest reply.
#include "net/exchange_stage.h"
#include "net/frame.h"
#include "net/server_connection.h"
#include "tests/net/net_test_support.h"

#include <doctest/doctest.h>

using kpv::test::ActionLog;
using kpv::test::Bytes;
using kpv::test::closed;
using kpv::test::data;
using kpv::test::filler;
using kpv::test::frameBytes;
using kpv::test::RecordingAction;
using kpv::test::ScriptedConnection;
using kpv::test::ScriptedNetwork;
using kpv::test::silence;
using kpv::test::statusRequest;
using Events = std::vector<std::string>;

namespace {

const Bytes REQUEST = statusRequest({7, 300});
const Bytes REPLY = frameBytes(kpv::MSG_STATUS_REPLY, Bytes(26, 0x5A));

Bytes firstBytes(const Bytes& bytes, std::ptrdiff_t n) {
    return {bytes.begin(), bytes.begin() + n};
}

void retrying(RecordingAction& action) {
    action.retries = 5;
    action.resend = REQUEST;
}

// A header announcing `length` bytes.
Bytes announcing(std::uint32_t length) {
    Bytes header = frameBytes(kpv::MSG_STATUS_REPLY, {});
    for (std::size_t i = 0; i < 4; ++i)
        header[4 + i] = static_cast<std::uint8_t>(length >> (8 * i));
    return header;
}

} // namespace

TEST_CASE("a whole reply reaches the action with its cursor at the body") {
    ScriptedNetwork network;
    network.steps = {data(REPLY)};
    ScriptedConnection record(network);
    ActionLog log;
    CHECK(record.run(log, REQUEST));
    CHECK(log.events == Events{"reply", "completed", "destroyed"});
    REQUIRE(log.replies.size() == 1);
    CHECK(log.replies[0] == REPLY);
    CHECK(log.replyCursors[0] == 14);
    CHECK(network.sent == std::vector<Bytes>{REQUEST});
    CHECK(record.connection.firstRetry() == 1);
    CHECK(network.sleeps.empty());
}

TEST_CASE("a reply that is not CHK fails at its third byte; the next exchange starts empty") {
    ScriptedNetwork network;
    for (const std::uint8_t byte : Bytes{'C', 'H', 'X', 0, 14, 0, 0, 0}) {
        network.steps.push_back(data({byte}));
        network.steps.push_back(silence(30));
    }
    ScriptedConnection record(network);
    ActionLog bad;
    CHECK_FALSE(record.run(bad, REQUEST, retrying));
    CHECK(bad.events == Events{"failed", "destroyed"}); // no retry for a protocol failure
    CHECK(bad.failedStage == kpv::StageProtocol);
    CHECK(bad.failedError == 0);
    CHECK(network.steps.size() == 11); // the silence after "X" and what follows: never asked for
    CHECK(network.virtualMilliseconds == 60);

    network.steps = {data(REPLY)};
    ActionLog good;
    CHECK(record.run(good, REQUEST));
    REQUIRE(good.replies.size() == 1);
    CHECK(good.replies[0] == REPLY);
}

TEST_CASE("a server that closes early: StageClosed, then the action decides about retrying") {
    ScriptedNetwork network;
    SUBCASE("an action that never retries") {
        network.steps = {data(firstBytes(REPLY, 20)), closed()};
        ScriptedConnection record(network);
        ActionLog log;
        CHECK_FALSE(record.run(log, REQUEST));
        CHECK(log.events == Events{"retry", "failed", "destroyed"});
        CHECK(log.failedStage == kpv::StageClosed);
        CHECK(log.failedError == 0);
        CHECK(network.sleeps.empty());
    }
    SUBCASE("an action that retries: the request goes out again on each new connection") {
        network.steps = {data(firstBytes(REPLY, 20)), closed(), closed(), data(REPLY)};
        ScriptedConnection record(network);
        ActionLog log;
        CHECK(record.run(log, REQUEST, retrying));
        CHECK(log.events == Events{"retry", "retry", "reply", "completed", "destroyed"});
        CHECK(log.replies[0] == REPLY); // nothing of the broken reply is left in front of it
        CHECK(network.sent == std::vector<Bytes>{REQUEST, REQUEST, REQUEST});
        CHECK(network.connects == 3);
        CHECK(network.sleeps == std::vector<std::uint32_t>{15000, 5000});
        CHECK(record.connection.firstRetry() == 1);
    }
    SUBCASE("an action that stops retrying hears of the failure that led there") {
        network.steps = {closed()}; // then silence
        ScriptedConnection record(network);
        ActionLog log;
        CHECK_FALSE(record.run(log, REQUEST, [](RecordingAction& action) {
            action.retries = 1;
            action.resend = REQUEST;
        }));
        CHECK(log.events == Events{"retry", "retry", "failed", "destroyed"});
        CHECK(log.failedStage == kpv::StageIdleTimeout);
    }
}

TEST_CASE("a reply the action ignores leaves the exchange waiting until the connection ends") {
    const Bytes otherType = frameBytes(kpv::MSG_STATUS_REQUEST, {1, 2});
    const auto ignoring = [](RecordingAction& action) { action.continues = 1; };
    ScriptedNetwork network;
    SUBCASE("closed by the server") {
        network.steps = {data(otherType), closed()};
        ScriptedConnection record(network);
        ActionLog log;
        CHECK_FALSE(record.run(log, REQUEST, ignoring));
        CHECK(log.events == Events{"reply", "retry", "failed", "destroyed"});
        CHECK(log.failedStage == kpv::StageClosed);
    }
    SUBCASE("held open by the server") {
        network.steps = {data(otherType)};
        ScriptedConnection record(network);
        ActionLog log;
        CHECK_FALSE(record.run(log, REQUEST, ignoring));
        CHECK(log.events == Events{"reply", "retry", "failed", "destroyed"});
        CHECK(log.failedStage == kpv::StageIdleTimeout);
        CHECK(network.virtualMilliseconds > 90000);
    }
}

TEST_CASE("a second request on the same connection, with the long idle limit for its reply") {
    const Bytes second = statusRequest({9});
    ScriptedNetwork network;
    network.steps = {data(REPLY), silence(120000), data(REPLY)}; // beyond 90 s, within 600 s
    ScriptedConnection record(network);
    ActionLog log;
    CHECK(record.run(log, REQUEST, [&second](RecordingAction& action) {
        action.continues = 1;
        action.nextRequest = second;
        action.askLongIdle = true;
    }));
    CHECK(log.events == Events{"reply", "reply", "completed", "destroyed"});
    CHECK(network.sent == std::vector<Bytes>{REQUEST, second});
    CHECK(network.connects == 1);
    CHECK(network.virtualMilliseconds >= 120000);
    CHECK(record.connection.longIdle() == 0);
}

TEST_CASE("replies are held up to 100 MiB and no further") {
    ScriptedNetwork network;
    SUBCASE("a frame of exactly the limit is whole") {
        network.steps = {data(announcing(kpv::MAX_REPLY_SIZE)), filler(kpv::MAX_REPLY_SIZE - 14)};
        ScriptedConnection record(network);
        ActionLog log;
        CHECK(record.run(log, REQUEST));
        CHECK(log.events == Events{"reply", "completed", "destroyed"});
        CHECK(log.replySizes == std::vector<std::uint32_t>{kpv::MAX_REPLY_SIZE});
    }
    SUBCASE("a longer one fails as a protocol failure") {
        network.steps = {data(announcing(kpv::MAX_REPLY_SIZE + 1)), filler(kpv::MAX_REPLY_SIZE)};
        ScriptedConnection record(network);
        ActionLog log;
        CHECK_FALSE(record.run(log, REQUEST));
        CHECK(log.events == Events{"failed", "destroyed"});
        CHECK(log.failedStage == kpv::StageProtocol);
        CHECK(log.failedError == 0);
        CHECK(network.steps.size() == 1); // the filler beyond the limit was never asked for
    }
}
