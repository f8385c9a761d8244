#pragma once
// Shared pieces of the exchange tests: frames as byte vectors, an action that records every
// call, and a connection record that runs its exchanges over the scripted network.
#include "net/exchange_timing.h"
#include "net/send_action.h"
#include "net/server_address.h"
#include "net/server_connection.h"
#include "tests/net/scripted_network.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kpv::test {

// Waits and limits of the tests over real sockets: the real ones divided by about 300.
ExchangeTiming fastTiming();

// An endpoint on this machine; the host name is never resolved while the address is non-zero.
ServerAddress loopbackAddress(std::uint16_t port, std::uint32_t address = 0x7F000001,
                              const char* hostName = "kopiavakt-test.invalid");

// A frame of `type` holding `body`, its length field equal to its size.
Bytes frameBytes(std::uint16_t type, const Bytes& body);
// A status request for `ids`: the client's own (status/status_request.h), as bytes. The one
// request builder of the tests, the tools' tests included.
Bytes statusRequest(const std::vector<std::uint32_t>& ids);
RecordStream streamOf(const Bytes& bytes);
Bytes bytesOf(const SecureBuffer& buffer);
// Every byte the network was given, in order.
Bytes joined(const std::vector<Bytes>& pieces);

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

using ActionSetUp = std::function<void(RecordingAction&)>;

// Queues `request` on `connection` with a recording action that `setUp` adjusts and runs the
// exchange; checks that it left no action, socket or received bytes behind.
bool runRecorded(ServerConnection& connection, ActionLog& log, const Bytes& request,
                 const ActionSetUp& setUp = {});

// One connection record over `network`, which is its clock too, with the client's real
// timing unless told otherwise.
struct ScriptedConnection {
    explicit ScriptedConnection(
        ScriptedNetwork& network, const ExchangeTiming& timing = {},
        const ServerAddress& address = loopbackAddress(DEFAULT_SERVER_PORT));

    // runRecorded on this record; the network must hold no socket open afterwards either.
    bool run(ActionLog& log, const Bytes& request, const ActionSetUp& setUp = {});

    ScriptedNetwork& network;
    bool startupFailed = true;
    ServerConnection connection;
};

} // namespace kpv::test
