// The exchange over the machine's sockets against the reference server, which the driver
// (tests/net/socket_peers.py) starts: only what a real socket shows. Names resolved by the
// system, replies that trickle in real time, waits bounded by real time, a server that never
// reads, a refused connection and a real close. The exchange's logic is tested over the
// scripted network (connection_test.cpp, exchange_test.cpp, exchange_stages_test.cpp).
#include "net/exchange_stage.h"
#include "net/frame.h"
#include "net/server_connection.h"
#include "tests/net/net_test_support.h"
#include "tests/net/socket_peers.h"
#include "tests/support/temp_folder.h"

#include <doctest/doctest.h>

#include <chrono>

using kpv::test::ActionLog;
using kpv::test::Bytes;
using kpv::test::frameBytes;
using kpv::test::loopbackAddress;
using kpv::test::peerPort;
using kpv::test::statusRequest;
using Events = std::vector<std::string>;

namespace {

// The driver's accounts: none has a status, so each is answered with an entry of zeros.
constexpr std::uint32_t PLAIN = 1;
constexpr std::uint32_t CHUNKED = 2; // 4-byte pieces 60 ms apart
constexpr std::uint32_t SILENT = 3;
constexpr std::uint32_t TRUNCATED = 4;

const Bytes CACHE_OF_LOOPBACK = {0x04, 0x00, 0x00, 0x00, 0x7F, 0x00, 0x00, 0x01};

// The server's reply to a request for `count` accounts without a status: a list of `count`
// entries, each an empty sealed status, an empty tag and four zero numbers.
Bytes zerosReply(std::uint8_t count) {
    const auto listSize = static_cast<std::uint8_t>(count * 24);
    Bytes body = {listSize, 0, 0, 0};
    body.resize(body.size() + listSize, 0);
    return frameBytes(kpv::MSG_STATUS_REPLY, body);
}

// One connection record over the machine's sockets and clock, with the fast timing.
struct SystemExchange {
    explicit SystemExchange(const kpv::ServerAddress& address)
        : connection(address, startupFailed, kpv::systemSocketLayer(), kpv::systemClock(),
                     kpv::test::fastTiming()) {}

    // runRecorded, timed.
    bool run(ActionLog& log, const Bytes& request) {
        const auto start = std::chrono::steady_clock::now();
        const bool result = kpv::test::runRecorded(connection, log, request);
        elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
                      std::chrono::steady_clock::now() - start)
                      .count();
        return result;
    }

    bool startupFailed = true;
    kpv::ServerConnection connection;
    long long elapsed = 0;
};

} // namespace

TEST_CASE("a request by name reaches kpv-server and its whole reply comes back") {
    kpv::test::TempFolder folder;
    SystemExchange exchange(loopbackAddress(peerPort("KPV_SERVER_PORT"), 0, "localhost"));
    CHECK_FALSE(exchange.startupFailed);
    ActionLog log;
    CHECK(exchange.run(log, statusRequest({PLAIN, 77})));
    CHECK(log.events == Events{"reply", "completed", "destroyed"});
    REQUIRE(log.replies.size() == 1);
    CHECK(log.replies[0] == zerosReply(2));
    CHECK(log.replyCursors[0] == 14);
    CHECK(kpv::test::readFileBytes("last_ip.bin") == CACHE_OF_LOOPBACK);
}

TEST_CASE("a reply in many small pieces: each piece restarts the idle clock") {
    // Eleven pieces 60 ms apart: 600 ms in all, beyond the 400 ms idle limit.
    SystemExchange exchange(loopbackAddress(peerPort("KPV_SERVER_PORT")));
    ActionLog log;
    CHECK(exchange.run(log, statusRequest({CHUNKED})));
    CHECK(exchange.elapsed >= 500);
    CHECK(log.events == Events{"reply", "completed", "destroyed"});
    REQUIRE(log.replies.size() == 1);
    CHECK(log.replies[0] == zerosReply(1));
}

TEST_CASE("a server that never answers, or closes inside its reply: the stage, error 0") {
    struct Case {
        std::uint32_t account;
        std::int32_t stage;
        long long earliest; // milliseconds
    };
    // No answer ends after the idle limit; the close of a reply cut short at once.
    for (const Case c :
         {Case{SILENT, kpv::StageIdleTimeout, 400}, Case{TRUNCATED, kpv::StageClosed, 0}}) {
        CAPTURE(c.account);
        SystemExchange exchange(loopbackAddress(peerPort("KPV_SERVER_PORT")));
        ActionLog log;
        CHECK_FALSE(exchange.run(log, statusRequest({c.account})));
        CHECK(log.events == Events{"retry", "failed", "destroyed"});
        CHECK(log.failedStage == c.stage);
        CHECK(log.failedError == 0);
        CHECK(exchange.elapsed >= c.earliest);
        CHECK(exchange.elapsed < c.earliest + 1000);
        CHECK(exchange.connection.stage() == c.stage);
    }
}

TEST_CASE("a real server that never reads cannot hold the send past the idle limit") {
    // 16 MiB outgrow any socket buffers here, the more so against the server's 4 KiB.
    const Bytes huge = frameBytes(kpv::MSG_STATUS_REQUEST, Bytes(16u << 20, 0x41));
    SystemExchange exchange(loopbackAddress(peerPort("KPV_NEVER_READ_PORT")));
    ActionLog log;
    CHECK_FALSE(exchange.run(log, huge));
    CHECK(log.events == Events{"failed", "destroyed"});
    CHECK(log.failedStage == kpv::StageIdleTimeout);
    CHECK(exchange.elapsed < 400 + 1000);
}

TEST_CASE("a refused connection fails at StageConnect with the socket's error number") {
    SystemExchange exchange(loopbackAddress(kpv::test::CLOSED_PORT));
    ActionLog log;
    CHECK_FALSE(exchange.run(log, statusRequest({PLAIN})));
    CHECK(log.events == Events{"failed", "destroyed"});
    CHECK(log.failedStage == kpv::StageConnect);
    CHECK(log.failedError != 0);
}
