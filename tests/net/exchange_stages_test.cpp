// The exchange's stage codes, error numbers, retry path and real waits, against a scripted
// network whose clock moves only when the exchange waits or sleeps.
#include "net/exchange_stage.h"
#include "net/frame.h"
#include "net/server_connection.h"
#include "tests/net/net_test_support.h"
#include "tests/net/scripted_network.h"

#include <doctest/doctest.h>

using kpv::ServerConnection;
using kpv::test::ActionLog;
using kpv::test::Bytes;
using kpv::test::frameBytes;
using kpv::test::loopbackAddress;
using kpv::test::NetworkStep;
using kpv::test::RecordingAction;
using kpv::test::ScriptedNetwork;
using kpv::test::statusRequest;
using kpv::test::streamOf;
using Events = std::vector<std::string>;

namespace {

const Bytes REQUEST = statusRequest({258});
const Bytes REPLY = frameBytes(kpv::MSG_STATUS_REPLY, {4, 0, 0, 0});

NetworkStep data(const Bytes& bytes) {
    return {NetworkStep::Data, bytes, 0};
}
NetworkStep silence(std::uint32_t milliseconds) {
    return {NetworkStep::Silence, {}, milliseconds};
}
NetworkStep closed() {
    return {NetworkStep::Close, {}, 0};
}

// One exchange with the client's real timing over `network`.
struct Run {
    template <typename SetUp>
    Run(ScriptedNetwork& network, SetUp setUp) {
        bool startupFailed = true;
        ServerConnection connection(loopbackAddress(kpv::DEFAULT_SERVER_PORT), startupFailed,
                                    network, network);
        auto action = std::make_unique<RecordingAction>(log);
        setUp(*action);
        std::unique_ptr<kpv::SendAction> base = std::move(action);
        REQUIRE(connection.queueAction(base, streamOf(REQUEST)));
        result = connection.runExchange();
        CHECK(network.openSockets == 0);
        CHECK(connection.incoming().contents.empty());
    }
    explicit Run(ScriptedNetwork& network) : Run(network, [](RecordingAction&) {}) {}

    ActionLog log;
    bool result = false;
};

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
        CHECK(network.now > 90000);
        CHECK(network.now <= 92000);
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
        const Run run(network, [](RecordingAction& action) {
            action.continues = 1;
            action.askLongIdle = true;
        });
        CHECK(run.result);
        CHECK(run.log.events == Events{"reply", "reply", "completed", "destroyed"});
    }
    SUBCASE("and more than 600 s are not") {
        ScriptedNetwork network;
        network.steps = {data(REPLY)};
        const Run run(network, [](RecordingAction& action) {
            action.continues = 1;
            action.askLongIdle = true;
        });
        CHECK(run.log.failedStage == kpv::StageIdleTimeout);
        CHECK(network.now > 600000);
        CHECK(network.now <= 602000);
    }
}

TEST_CASE("a reply that trickles in for more than 300 s fails though no silence reaches 90 s") {
    ScriptedNetwork network;
    for (const std::uint8_t byte : REPLY) {
        network.steps.push_back(data(Bytes{byte}));
        network.steps.push_back(silence(60000));
    }
    const Run run(network);
    CHECK_FALSE(run.result);
    CHECK(run.log.failedStage == kpv::StageIdleTimeout);
    CHECK(network.now > 300000);
    CHECK(network.now <= 362000);
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
