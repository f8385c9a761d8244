// The exchange's stage codes, error numbers, retry path and real waits and limits, over the
// scripted network, whose clock moves only when the exchange waits or sleeps.
#include "net/exchange_stage.h"
#include "net/frame.h"
#include "tests/net/net_test_support.h"

#include <doctest/doctest.h>

#include <deque>

using kpv::test::ActionLog;
using kpv::test::ActionSetUp;
using kpv::test::Bytes;
using kpv::test::closed;
using kpv::test::data;
using kpv::test::frameBytes;
using kpv::test::NetworkStep;
using kpv::test::RecordingAction;
using kpv::test::ScriptedConnection;
using kpv::test::ScriptedNetwork;
using kpv::test::silence;
using kpv::test::statusRequest;
using Events = std::vector<std::string>;

namespace {

const Bytes REQUEST = statusRequest({258});
const Bytes REPLY = frameBytes(kpv::MSG_STATUS_REPLY, {4, 0, 0, 0});

// One exchange with the client's real timing (or `timing`) over `network`.
struct Run {
    explicit Run(ScriptedNetwork& network, const ActionSetUp& setUp = {},
                 const kpv::ExchangeTiming& timing = {}) {
        ScriptedConnection record(network, timing);
        result = record.run(log, REQUEST, setUp);
    }

    ActionLog log;
    bool result = false;
};

// The long idle limit is longer than the whole exchange may take by default.
kpv::ExchangeTiming roomForLongIdle() {
    kpv::ExchangeTiming timing;
    timing.exchangeLimitMilliseconds = 3600000;
    return timing;
}

void retrying(RecordingAction& action, int times) {
    action.retries = times;
    action.resend = REQUEST;
}

} // namespace

TEST_CASE("the idle limit is 90 s of silence, 600 s when the action asks for it") {
    SUBCASE("a silent server is given up after more than 90 s") {
        ScriptedNetwork network;
        const Run run(network);
        CHECK(run.log.failedStage == kpv::StageIdleTimeout);
        CHECK(run.log.failedError == 0);
        CHECK(network.virtualMilliseconds > 90000);
        CHECK(network.virtualMilliseconds <= 92000);
    }
    SUBCASE("pieces 89 s apart keep the exchange alive") {
        ScriptedNetwork network;
        network.steps = {data(Bytes(REPLY.begin(), REPLY.begin() + 5)), silence(89000),
                         data(Bytes(REPLY.begin() + 5, REPLY.end()))};
        const Run run(network);
        CHECK(run.result);
        CHECK(run.log.events == Events{"reply", "completed", "destroyed"});
    }
    SUBCASE("after a reply that asks for the long limit, 500 s of silence are waited out") {
        ScriptedNetwork network;
        network.steps = {data(REPLY), silence(500000), data(REPLY)};
        const Run run(
            network,
            [](RecordingAction& action) {
                action.continues = 1;
                action.askLongIdle = true;
            },
            roomForLongIdle());
        CHECK(run.result);
        CHECK(run.log.events == Events{"reply", "reply", "completed", "destroyed"});
    }
    SUBCASE("and more than 600 s are not") {
        ScriptedNetwork network;
        network.steps = {data(REPLY)};
        const Run run(
            network,
            [](RecordingAction& action) {
                action.continues = 1;
                action.askLongIdle = true;
            },
            roomForLongIdle());
        CHECK(run.log.failedStage == kpv::StageIdleTimeout);
        CHECK(network.virtualMilliseconds > 600000);
        CHECK(network.virtualMilliseconds <= 602000);
    }
}

TEST_CASE("no server holds the client longer than the exchange's total limit") {
    // A byte every 80 s keeps the idle clock from running out for as long as it goes on.
    std::deque<NetworkStep> trickle;
    for (std::size_t i = 0; i < REPLY.size(); ++i) {
        trickle.push_back(data(Bytes{REPLY[i]}));
        trickle.push_back(silence(80000));
    }
    SUBCASE("a trickling server fails as an idle time-out after 300 s, without a retry") {
        ScriptedNetwork network;
        network.steps = trickle;
        const Run run(network, [](RecordingAction& action) { retrying(action, 3); });
        CHECK(run.log.events == Events{"failed", "destroyed"});
        CHECK(run.log.failedStage == kpv::StageIdleTimeout);
        CHECK(run.log.failedError == 0);
        CHECK(network.virtualMilliseconds > 300000);
        CHECK(network.virtualMilliseconds <= 302000);
    }
    SUBCASE("retries count against the same limit") {
        ScriptedNetwork network;
        // Three pieces 80 s apart, then the server closes; the retry waits 15 s.
        network.steps = {trickle.begin(), trickle.begin() + 6};
        network.steps.push_back(closed());
        network.steps.push_back(silence(80000));
        const Run run(network, [](RecordingAction& action) { retrying(action, 9); });
        CHECK(run.log.events == Events{"retry", "failed", "destroyed"});
        CHECK(run.log.failedStage == kpv::StageIdleTimeout);
        CHECK(network.virtualMilliseconds <= 302000);
    }
    SUBCASE("a caller may set another limit") {
        ScriptedNetwork network;
        network.steps = trickle;
        kpv::ExchangeTiming timing;
        timing.exchangeLimitMilliseconds = 100000;
        const Run run(
            network, [](RecordingAction&) {}, timing);
        CHECK(run.log.failedStage == kpv::StageIdleTimeout);
        CHECK(network.virtualMilliseconds > 100000);
        CHECK(network.virtualMilliseconds <= 102000);
    }
}

TEST_CASE("a header that can never complete is refused as soon as it is in") {
    // Announcing more than 100 MiB, less than a header or less than what has already arrived,
    // or with a reserved byte set.
    std::vector<Bytes> headers;
    for (const std::uint32_t announced : {kpv::MAX_REPLY_SIZE + 1, 0xFFFFFFFFu}) {
        Bytes header = frameBytes(kpv::MSG_STATUS_REPLY, {});
        for (std::size_t i = 0; i < 4; ++i)
            header[4 + i] = static_cast<std::uint8_t>(announced >> (8 * i));
        headers.push_back(header);
    }
    headers.push_back(REPLY);
    headers.back()[4] = 13;
    headers.push_back(REPLY);
    headers.back()[4] = 0;
    headers.push_back(REPLY);
    headers.back().push_back(0);
    headers.push_back(REPLY);
    headers.back()[3] = 1;
    for (const Bytes& header : headers) {
        ScriptedNetwork network;
        // Whatever would follow is never asked for.
        network.steps = {data(header), data(Bytes(1000, 0)), closed()};
        const Run run(network, [](RecordingAction& action) { retrying(action, 3); });
        CHECK(run.log.events == Events{"failed", "destroyed"});
        CHECK(run.log.failedStage == kpv::StageProtocol);
        CHECK(network.steps.size() == 2);
        CHECK(network.virtualMilliseconds == 0);
    }
}

TEST_CASE("a server that stops reading holds the send no longer than the exchange's limits") {
    // The server takes the first 5 bytes of the request, then nothing more.
    SUBCASE("the idle limit: 90 s without room ends the first send as an idle time-out") {
        ScriptedNetwork network;
        network.readCapacity = 5;
        const Run run(network, [](RecordingAction& action) { retrying(action, 3); });
        CHECK(run.log.events == Events{"failed", "destroyed"});
        CHECK(run.log.failedStage == kpv::StageIdleTimeout);
        CHECK(run.log.failedError == 0);
        CHECK(network.virtualMilliseconds > 90000);
        CHECK(network.virtualMilliseconds <= 92000);
    }
    SUBCASE("the total limit holds when the idle limit is longer") {
        ScriptedNetwork network;
        network.readCapacity = 5;
        kpv::ExchangeTiming timing = roomForLongIdle();
        timing.idleLimitMilliseconds = 3600000;
        timing.exchangeLimitMilliseconds = 300000;
        const Run run(
            network, [](RecordingAction& action) { retrying(action, 3); }, timing);
        CHECK(run.log.failedStage == kpv::StageIdleTimeout);
        CHECK(network.virtualMilliseconds > 300000);
        CHECK(network.virtualMilliseconds <= 300001);
    }
    SUBCASE("a resend after a retry is bounded the same way") {
        ScriptedNetwork network;
        network.steps = {closed()};
        network.readCapacity = REQUEST.size() + 5;
        network.sendLimit = static_cast<std::uint32_t>(REQUEST.size());
        const Run run(network, [](RecordingAction& action) { retrying(action, 3); });
        CHECK(run.log.failedStage == kpv::StageIdleTimeout);
        CHECK(network.virtualMilliseconds <= 302000);
    }
}

TEST_CASE("retries wait 15 s the first time and 5 s after that") {
    ScriptedNetwork network;
    network.steps = {closed(), closed(), closed(), data(REPLY)};
    const Run run(network, [](RecordingAction& action) { retrying(action, 3); });
    CHECK(run.result);
    CHECK(network.sleeps == std::vector<std::uint32_t>{15000, 5000, 5000});
    CHECK(network.sent == std::vector<Bytes>{REQUEST, REQUEST, REQUEST, REQUEST});
}

TEST_CASE("every broken connection reports its own stage and error number") {
    struct Case {
        NetworkStep step;
        std::int32_t stage;
        std::int32_t error;
    };
    const Case cases[] = {
        {{NetworkStep::SelectError, {}, 10038}, kpv::StageSelect, 10038},
        {{NetworkStep::Exception, {}, 0}, kpv::StageSocketException, 0},
        {{NetworkStep::ReceiveError, {}, 10054}, kpv::StageReceive, 10054},
        {closed(), kpv::StageClosed, 0},
    };
    for (const Case& c : cases) {
        ScriptedNetwork network;
        network.steps = {c.step};
        const Run run(network);
        CHECK_FALSE(run.result);
        CHECK(run.log.events == Events{"retry", "failed", "destroyed"});
        CHECK(run.log.failedStage == c.stage);
        CHECK(run.log.failedError == c.error);
    }
}

TEST_CASE("sending: the first failure ends the exchange, a later one goes through a retry") {
    SUBCASE("the first send is never retried") {
        ScriptedNetwork network;
        network.sendErrors = {10054};
        const Run run(network, [](RecordingAction& action) { retrying(action, 3); });
        CHECK(run.log.events == Events{"failed", "destroyed"});
        CHECK(run.log.failedStage == kpv::StageSend);
        CHECK(run.log.failedError == 10054);
    }
    SUBCASE("a resend that fails asks the action again") {
        ScriptedNetwork network;
        network.steps = {closed(), data(REPLY)};
        network.sendErrors = {0, 10053, 0};
        const Run run(network, [](RecordingAction& action) { retrying(action, 3); });
        CHECK(run.result);
        CHECK(run.log.events == Events{"retry", "retry", "reply", "completed", "destroyed"});
        CHECK(network.sent == std::vector<Bytes>{REQUEST, REQUEST});
    }
}

TEST_CASE("quiet reconnection attempts report socket creation, not connect failures") {
    ScriptedNetwork network;
    network.steps = {closed(), data(REPLY)};
    network.connectResults = {true, false};
    network.openResults = {true, true, false};
    const Run run(network, [](RecordingAction& action) { retrying(action, 3); });
    CHECK(run.result);
    // Retry 1 fails to connect (quiet), retry 2 gets no socket (reported), retry 3 gets through.
    CHECK(run.log.events ==
          Events{"retry", "retry", "failed", "retry", "reply", "completed", "destroyed"});
    CHECK(run.log.failures == 1);
    CHECK(network.sleeps == std::vector<std::uint32_t>{15000, 5000, 5000});
}

TEST_CASE("an action that gives up hears the failure of the connection, not of the retries") {
    ScriptedNetwork network;
    network.steps = {{NetworkStep::ReceiveError, {}, 10054}};
    network.connectResults = {true, false};
    const Run run(network, [](RecordingAction& action) { retrying(action, 1); });
    CHECK(run.log.events == Events{"retry", "retry", "failed", "destroyed"});
    CHECK(run.log.failedStage == kpv::StageReceive);
    CHECK(run.log.failedError == 10054);
}
