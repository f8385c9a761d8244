#pragma once
// Shared pieces of the exchange tests: frames as byte vectors, an action that records every
// call, a socket layer that forwards to the machine's sockets with knobs and counters, and a
// steady clock that records its sleeps.
#include "core/clock.h"
#include "net/exchange_timing.h"
#include "net/send_action.h"
#include "net/server_address.h"
#include "net/socket_layer.h"
#include "tests/net/loopback_server.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kpv::test {

// Waits and limits of every loopback test: the real ones divided by about 300.
ExchangeTiming fastTiming();

// An endpoint on this machine; the host name is never resolved while the address is non-zero.
ServerAddress loopbackAddress(std::uint16_t port, std::uint32_t address = 0x7F000001,
                              const char* hostName = "kopiavakt-test.invalid");

// The usual server: reads the request, sends `reply`, holds the connection until the client
// closes it.
Script replyWith(const Bytes& reply);

// A frame of `type` holding `body`, its length field equal to its size.
Bytes frameBytes(std::uint16_t type, const Bytes& body);
// A status request for `ids`: the client's own (status/status_request.h), as bytes. The one
// request builder of the tests, the tools' tests included.
Bytes statusRequest(const std::vector<std::uint32_t>& ids);
RecordStream streamOf(const Bytes& bytes);
Bytes bytesOf(const SecureBuffer& buffer);

// Everything an action saw, kept outside it because the connection destroys the action.
struct ActionLog {
    std::vector<std::string> events; // "reply", "retry", "completed", "failed", "cached",
                                     // "destroyed", in order
    std::vector<Bytes> replies;      // each reply's frame (replies above 1 MiB: empty)
    std::vector<std::uint32_t> replySizes;
    std::vector<std::uint32_t> replyCursors;
    std::int32_t failedStage = -1;
    std::int32_t failedError = -1;
    int failures = 0;
    std::int32_t cachedValue = -1;
};

class RecordingAction final : public SendAction {
  public:
    explicit RecordingAction(ActionLog& log) : log_(log) {}
    ~RecordingAction() override { log_.events.push_back("destroyed"); }

    bool handleReply(RecordStream& reply, RecordStream& next, std::uint8_t& longIdle) override;
    bool prepareRetry(RecordStream& outgoing) override;
    void onCompleted() override { log_.events.push_back("completed"); }
    void onFailed(std::int32_t stage, std::int32_t error) override;
    void onCachedAddress(std::int32_t value) override;

    int retries = 0; // prepareRetry says yes this many times, refilling outgoing with resend
    Bytes resend;
    int continues = 0; // handleReply returns true this many times, queueing nextRequest
    Bytes nextRequest;
    bool askLongIdle = false;

  private:
    ActionLog& log_;
};

// An action that retries `retries` times, each time sending `resend` again.
std::unique_ptr<SendAction> makeAction(ActionLog& log, int retries = 0, const Bytes& resend = {});

class ForwardingSockets final : public SocketLayer {
  public:
    bool failStartup = false;
    std::uint32_t sendCap = 0xFFFFFFFFu; // at most this many bytes per send
    int startups = 0, cleanups = 0, opens = 0, closes = 0, resolves = 0, connects = 0, sends = 0;
    std::uint32_t connectedAddress = 0;
    std::uint16_t connectedPort = 0;

    bool startup() override;
    void cleanup() override;
    SocketHandle openStream() override;
    void close(SocketHandle socket) override;
    std::int32_t resolve(const char* hostName, std::uint32_t& address) override;
    bool connect(SocketHandle socket, std::uint32_t address, std::uint16_t port,
                 std::uint32_t milliseconds) override;
    Readiness waitReadable(SocketHandle socket, std::uint32_t milliseconds) override;
    Readiness waitWritable(SocketHandle socket, std::uint32_t milliseconds) override;
    std::int32_t receive(SocketHandle socket, std::uint8_t* into, std::uint32_t n) override;
    std::int32_t send(SocketHandle socket, const std::uint8_t* bytes, std::uint32_t n) override;
    std::int32_t lastError() override;
};

class RecordingClock final : public Clock {
  public:
    std::vector<std::uint32_t> sleeps;
    std::int64_t now() override { return systemClock().now(); }
    std::uint64_t milliseconds() override { return systemClock().milliseconds(); }
    void sleepMilliseconds(std::uint32_t milliseconds) override {
        sleeps.push_back(milliseconds);
        systemClock().sleepMilliseconds(milliseconds);
    }
};

} // namespace kpv::test
