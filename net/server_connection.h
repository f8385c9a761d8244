#pragma once
// ServerConnection: the one process-wide record through which the client talks to the
// monitoring server. An exchange is synchronous on the caller's thread: queueAction hands over
// an action and its request frame, runExchange connects over TCP (a fresh connection each
// time), sends the request, collects the reply until it is one whole frame, hands it to the
// action, and closes the connection. Every failure reaches the action's onFailed with an
// ExchangeStage and a socket error number.
//
// Waits block the thread: the connect, readiness waits of 2 s (for room to send and for the
// reply) up to an idle limit of 90 s (600 s for a reply when the action asks), and retry
// sleeps of 15 s then 5 s, all within a total limit for the exchange of 300 s by default
// (ExchangeTiming; a caller whose actions ask for the long idle limit raises it). A connect or
// send that reaches the total limit ends the exchange as an idle time-out. Not thread-safe; a
// nested runExchange during one of the action's callbacks returns false.
#include "core/clock.h"
#include "core/record_stream.h"
#include "core/secure_buffer.h"
#include "net/exchange_stage.h"
#include "net/exchange_timing.h"
#include "net/send_action.h"
#include "net/server_address.h"
#include "net/socket_layer.h"

#include <cstdint>
#include <memory>

namespace kpv {

inline constexpr std::uint32_t RECEIVE_CHUNK = 262144;     // bytes per receive call
inline constexpr std::uint32_t MAX_REPLY_SIZE = 104857600; // bytes; a reply is held whole

class ServerConnection {
  public:
    // Copies the endpoint and starts the sockets (Winsock 2.0). `startupFailed` becomes true
    // when they could not be started; the record is usable either way, but then every exchange
    // fails at StageSocketCreate. `sockets` and `clock` must outlive the record.
    ServerConnection(const ServerAddress& address, bool& startupFailed,
                     SocketLayer& sockets = systemSocketLayer(), Clock& clock = systemClock(),
                     const ExchangeTiming& timing = ExchangeTiming{});
    // Destroys a pending action, stops the sockets and wipes every buffer.
    ~ServerConnection();
    ServerConnection(const ServerConnection&) = delete;
    ServerConnection& operator=(const ServerConnection&) = delete;

    // Succeeds only when `action` is non-null, `request` is a complete frame and no action is
    // current: the record then owns the action (moved out of `action`) and sends a copy of
    // `request`. On refusal nothing changes and the action stays with the caller.
    bool queueAction(std::unique_ptr<SendAction>& action, const RecordStream& request);

    // Runs the exchange of the current action. True when the action's reply handling finished
    // normally; false at once when no action is current, otherwise after the failure has been
    // reported to the action. Every path ends with the socket closed, nothing received or
    // pending kept, and the action destroyed.
    bool runExchange();

    // State between and after exchanges, for the curious.
    bool hasAction() const noexcept { return action_ != nullptr; }
    bool socketOpen() const noexcept { return socket_.isOpen(); }
    const RecordStream& incoming() const noexcept { return incoming_; }
    const RecordStream& outgoing() const noexcept { return outgoing_; }
    // Stage and error number of the last broken connection (StageProtocol and 0 initially).
    std::int32_t stage() const noexcept { return stage_; }
    std::int32_t lastError() const noexcept { return lastError_; }
    std::uint8_t longIdle() const noexcept { return longIdle_; }
    std::uint8_t firstRetry() const noexcept { return firstRetry_; }

  private:
    class ExchangeEnd;

    // Opens a socket and connects it, resolving the host name (and keeping last_ip.bin) when no
    // fixed address is configured. Quiet: name resolution and connect failures are not
    // reported (socket creation failures always are). A cache that cannot be written is no
    // failure.
    bool connectToServer(bool quiet);
    bool resolveServer(bool quiet, std::uint32_t& address);
    // After a broken connection: asks the action whether to retry, waits, connects quietly;
    // repeats until connected (true) or the action gives up (false, reported).
    bool reconnect();
    // True when `incoming` holds a whole frame. False with `broken` set for a connection that
    // broke (stage and error stored, nothing reported yet), or clear for a protocol failure
    // (already reported).
    bool receiveReply(bool& broken);
    // Sends all of `outgoing`. False with `broken` set (stage and error stored) on failure, or
    // clear at the total limit (already reported).
    bool sendPending(bool& broken);
    // Hands the whole frame to the action; true when it put a next request into `outgoing`.
    bool dispatchReply();
    void releaseAction() noexcept;

    bool breakOff(bool& broken, ExchangeStage stage, std::int32_t error);
    // True once the exchange has run longer than its total limit.
    bool pastDeadline();
    // Milliseconds until just past the total limit (at least 1): the longest any wait may take.
    std::uint32_t timeLeft();
    // Ends the exchange at its total limit as an idle time-out, without a retry.
    bool endAtDeadline(bool& broken);
    // Closes the socket and drops what was received before the action hears of the failure.
    void reportFailure(ExchangeStage stage, std::int32_t error);

    SocketLayer& sockets_;
    Clock& clock_;
    ExchangeTiming timing_;
    bool socketsStarted_ = false;

    std::uint32_t address_ = 0;
    std::uint16_t port_ = DEFAULT_SERVER_PORT;
    SecureBuffer hostName_;
    Socket socket_;
    RecordStream incoming_;
    RecordStream outgoing_;
    std::int32_t lastError_ = 0;
    std::int32_t stage_ = StageProtocol;
    std::uint8_t longIdle_ = 0;
    std::uint8_t firstRetry_ = 1;
    std::unique_ptr<SendAction> action_;
    bool exchanging_ = false;
    std::uint64_t deadline_ = 0; // clock milliseconds at which the exchange under way ends
};

} // namespace kpv
