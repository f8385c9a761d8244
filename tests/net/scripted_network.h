#pragma once
// A fake network and virtual clock for everything about the exchange's logic, and for the
// exchange fuzz target: whether the sockets start, which names resolve, what each readiness
// wait and receive returns, which connects and socket creations fail, and time that moves
// only when the exchange waits or sleeps, so the real 90 s and 600 s limits and 15 s and 5 s
// retry waits run in no time at all. It notes how the exchange used it (calls, the address it
// connected to, the bytes it sent, the longest silence, sockets used after closing). What
// only a real socket shows is tested against kpv-server (tests/net/socket_exchange_test.cpp).
#include "core/clock.h"
#include "net/exchange_timing.h"
#include "net/socket_layer.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace kpv::test {

using Bytes = std::vector<std::uint8_t>;

struct NetworkStep {
    enum Kind { Data, Filler, Silence, Close, ReceiveError, SelectError, Exception } kind;
    Bytes bytes;             // Data
    std::uint32_t value = 0; // Filler: bytes of 'A'; Silence: milliseconds; errors: the number
};

// The usual steps: bytes that arrive, a wait in virtual milliseconds, the server closing, and
// `count` bytes of 'A' that are never held at once.
NetworkStep data(const Bytes& bytes);
NetworkStep silence(std::uint32_t milliseconds);
NetworkStep closed();
NetworkStep filler(std::uint32_t count);

class ScriptedNetwork final : public SocketLayer, public Clock {
  public:
    bool startupFails = false;
    std::map<std::string, std::uint32_t> hosts; // names that resolve; others fail with 11001
    std::deque<NetworkStep> steps;   // in order over all connections; then silence for ever
    std::deque<bool> openResults;    // per socket creation; true once exhausted
    std::deque<bool> connectResults; // per connect; then connectsAfterResults
    bool connectsAfterResults = true;
    std::deque<std::int32_t> sendErrors; // per send: non-zero fails it with that number
    std::int32_t connectError = 10061;
    std::uint32_t sendLimit = 0xFFFFFFFFu; // most bytes one send accepts
    // Bytes the server takes per connection before it stops reading: sends then take nothing
    // and each wait for room passes its whole time.
    std::uint64_t readCapacity = ~std::uint64_t{0};
    // Called when the steps have run out, before the network falls silent for good: it may add
    // steps (the fuzz target reads them from its input as they are needed).
    std::function<void()> whenOutOfSteps;
    // Called with the size of each receive before it is served.
    std::function<void(std::uint32_t)> beforeReceive;

    std::vector<std::uint32_t> sleeps;
    std::vector<Bytes> sent; // each send's bytes
    int startups = 0, cleanups = 0, opens = 0, resolves = 0, connects = 0;
    std::uint32_t connectedAddress = 0; // of the last connect
    std::uint16_t connectedPort = 0;
    int openSockets = 0;
    std::uint64_t waits = 0;          // readiness waits so far
    std::uint64_t longestSilence = 0; // virtual milliseconds without data, connect or send
    bool misused = false;             // a call on a socket other than the last one opened
    std::uint64_t virtualMilliseconds = 0;

    std::int64_t now() override { return static_cast<std::int64_t>(virtualMilliseconds / 1000); }
    std::uint64_t milliseconds() override { return virtualMilliseconds; }
    void sleepMilliseconds(std::uint32_t milliseconds) override;

    bool startup() override;
    void cleanup() override { ++cleanups; }
    SocketHandle openStream() override;
    void close(SocketHandle socket) override;
    std::int32_t resolve(const char* hostName, std::uint32_t& address) override;
    bool connect(SocketHandle socket, std::uint32_t address, std::uint16_t port,
                 std::uint32_t milliseconds) override;
    Readiness waitReadable(SocketHandle socket, std::uint32_t milliseconds) override;
    Readiness waitWritable(SocketHandle socket, std::uint32_t milliseconds) override;
    std::int32_t receive(SocketHandle socket, std::uint8_t* into, std::uint32_t n) override;
    std::int32_t send(SocketHandle socket, const std::uint8_t* bytes, std::uint32_t n) override;
    std::int32_t lastError() override { return error_; }

  private:
    void heard() { lastHeard_ = virtualMilliseconds; }
    void use(SocketHandle socket) { misused = misused || socket != next_ || openSockets == 0; }

    std::int32_t error_ = 0;
    SocketHandle next_ = 100;
    std::uint64_t lastHeard_ = 0;
    std::uint64_t takenOnConnection_ = 0;
};

} // namespace kpv::test
