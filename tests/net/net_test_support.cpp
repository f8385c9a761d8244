#include "tests/net/net_test_support.h"

#include "net/frame.h"
#include "status/status_request.h"

#include <doctest/doctest.h>

namespace kpv::test {

ExchangeTiming fastTiming() {
    ExchangeTiming timing;
    timing.readinessWaitMilliseconds = 20;
    timing.idleLimitMilliseconds = 400;
    timing.longIdleLimitMilliseconds = 2000;
    timing.firstRetryDelayMilliseconds = 45;
    timing.retryDelayMilliseconds = 15;
    return timing;
}

ServerAddress loopbackAddress(std::uint16_t port, std::uint32_t address, const char* hostName) {
    ServerAddress endpoint;
    endpoint.address = address;
    endpoint.port = port;
    endpoint.hostName = SecureBuffer::fromCString(hostName);
    return endpoint;
}

Bytes frameBytes(std::uint16_t type, const Bytes& body) {
    const auto length = static_cast<std::uint32_t>(14 + body.size());
    Bytes frame = {'C',
                   'H',
                   'K',
                   0,
                   static_cast<std::uint8_t>(length),
                   static_cast<std::uint8_t>(length >> 8),
                   static_cast<std::uint8_t>(length >> 16),
                   static_cast<std::uint8_t>(length >> 24),
                   static_cast<std::uint8_t>(type),
                   static_cast<std::uint8_t>(type >> 8),
                   0,
                   0,
                   0,
                   0};
    frame.insert(frame.end(), body.begin(), body.end());
    return frame;
}

Bytes statusRequest(const std::vector<std::uint32_t>& ids) {
    AccountIdList list;
    for (const std::uint32_t id : ids)
        list.append(id);
    return bytesOf(buildStatusRequest(list).contents);
}

RecordStream streamOf(const Bytes& bytes) {
    return RecordStream(
        SecureBuffer::ofBytes(bytes.data(), static_cast<std::uint32_t>(bytes.size())));
}

Bytes bytesOf(const SecureBuffer& buffer) {
    return {buffer.data(), buffer.data() + buffer.length()};
}

Bytes joined(const std::vector<Bytes>& pieces) {
    Bytes all;
    for (const Bytes& piece : pieces)
        all.insert(all.end(), piece.begin(), piece.end());
    return all;
}

bool RecordingAction::handleReply(RecordStream& reply, RecordStream& next, std::uint8_t& longIdle) {
    log_.events.push_back("reply");
    log_.replySizes.push_back(reply.length());
    log_.replyCursors.push_back(reply.cursor);
    log_.replies.push_back(reply.length() <= (1u << 20) ? bytesOf(reply.contents) : Bytes{});
    if (continues == 0)
        return false;
    --continues;
    if (!nextRequest.empty())
        next = streamOf(nextRequest);
    if (askLongIdle)
        longIdle = 1;
    return true;
}

bool RecordingAction::prepareRetry(RecordStream& outgoing) {
    log_.events.push_back("retry");
    if (retries == 0)
        return false;
    --retries;
    outgoing = streamOf(resend);
    return true;
}

void RecordingAction::onFailed(std::int32_t stage, std::int32_t error) {
    log_.events.push_back("failed");
    log_.failedStage = stage;
    log_.failedError = error;
    ++log_.failures;
}

void RecordingAction::onCachedAddress(std::int32_t value) {
    log_.events.push_back("cached");
    log_.cachedValue = value;
}

std::unique_ptr<SendAction> makeAction(ActionLog& log, int retries, const Bytes& resend) {
    auto action = std::make_unique<RecordingAction>(log);
    action->retries = retries;
    action->resend = resend;
    return action;
}

bool runRecorded(ServerConnection& connection, ActionLog& log, const Bytes& request,
                 const ActionSetUp& setUp) {
    auto action = std::make_unique<RecordingAction>(log);
    if (setUp)
        setUp(*action);
    std::unique_ptr<SendAction> queued = std::move(action);
    REQUIRE(connection.queueAction(queued, streamOf(request)));
    const bool result = connection.runExchange();
    CHECK_FALSE(connection.hasAction());
    CHECK_FALSE(connection.socketOpen());
    CHECK(connection.incoming().contents.empty());
    return result;
}

ScriptedConnection::ScriptedConnection(ScriptedNetwork& scripted, const ExchangeTiming& timing,
                                       const ServerAddress& address)
    : network(scripted), connection(address, startupFailed, scripted, scripted, timing) {}

bool ScriptedConnection::run(ActionLog& log, const Bytes& request, const ActionSetUp& setUp) {
    const bool result = runRecorded(connection, log, request, setUp);
    CHECK(network.openSockets == 0);
    return result;
}

} // namespace kpv::test
