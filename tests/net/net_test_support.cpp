#include "tests/net/net_test_support.h"

#include "net/frame.h"
#include "status/status_request.h"

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

Script replyWith(const Bytes& reply) {
    return [reply](ServerSide& server) {
        server.readFrame();
        server.send(reply);
        server.waitForClose();
    };
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

bool ForwardingSockets::startup() {
    ++startups;
    return !failStartup && systemSocketLayer().startup();
}

void ForwardingSockets::cleanup() {
    ++cleanups;
    systemSocketLayer().cleanup();
}

SocketHandle ForwardingSockets::openStream() {
    ++opens;
    return systemSocketLayer().openStream();
}

void ForwardingSockets::close(SocketHandle socket) {
    ++closes;
    systemSocketLayer().close(socket);
}

std::int32_t ForwardingSockets::resolve(const char* hostName, std::uint32_t& address) {
    ++resolves;
    return systemSocketLayer().resolve(hostName, address);
}

bool ForwardingSockets::connect(SocketHandle socket, std::uint32_t address, std::uint16_t port,
                                std::uint32_t milliseconds) {
    ++connects;
    connectedAddress = address;
    connectedPort = port;
    return systemSocketLayer().connect(socket, address, port, milliseconds);
}

Readiness ForwardingSockets::waitReadable(SocketHandle socket, std::uint32_t milliseconds) {
    return systemSocketLayer().waitReadable(socket, milliseconds);
}

Readiness ForwardingSockets::waitWritable(SocketHandle socket, std::uint32_t milliseconds) {
    return systemSocketLayer().waitWritable(socket, milliseconds);
}

std::int32_t ForwardingSockets::receive(SocketHandle socket, std::uint8_t* into, std::uint32_t n) {
    return systemSocketLayer().receive(socket, into, n);
}

std::int32_t ForwardingSockets::send(SocketHandle socket, const std::uint8_t* bytes,
                                     std::uint32_t n) {
    ++sends;
    return systemSocketLayer().send(socket, bytes, n < sendCap ? n : sendCap);
}

std::int32_t ForwardingSockets::lastError() {
    return systemSocketLayer().lastError();
}

} // namespace kpv::test
