#pragma once
// A fake network and virtual clock for exchange tests that need exact control: what each
// readiness wait and receive returns, which connects and socket creations fail, and time
// that moves only when the exchange waits or sleeps, so the real 90 s and 600 s limits and
// 15 s and 5 s retry waits run in no time at all.
#include "core/clock.h"
#include "net/exchange_timing.h"
#include "net/socket_layer.h"
#include "tests/net/loopback_server.h"

#include <cstdint>
#include <deque>
#include <vector>

namespace kpv::test {

struct NetworkStep {
    enum Kind { Data, Silence, Close, ReceiveError, SelectError, Exception } kind;
    Bytes bytes;             // Data
    std::uint32_t value = 0; // Silence: milliseconds; errors: the error number
};

class ScriptedNetwork final : public SocketLayer, public Clock {
  public:
    std::deque<NetworkStep> steps;       // in order over all connections; then silence for ever
    std::deque<bool> openResults;        // per socket creation; true once exhausted
    std::deque<bool> connectResults;     // per connect; true once exhausted
    std::deque<std::int32_t> sendErrors; // per send: non-zero fails it with that number
    std::int32_t connectError = 10061;

    std::vector<std::uint32_t> sleeps;
    std::vector<Bytes> sent; // each send's bytes
    int openSockets = 0;
    std::uint64_t virtualMilliseconds = 0;

    std::int64_t now() override { return static_cast<std::int64_t>(virtualMilliseconds / 1000); }
    std::uint64_t milliseconds() override { return virtualMilliseconds; }
    void sleepMilliseconds(std::uint32_t milliseconds) override;

    bool startup() override { return true; }
    void cleanup() override {}
    SocketHandle openStream() override;
    void close(SocketHandle socket) override;
    std::int32_t resolve(const char* hostName, std::uint32_t& address) override;
    bool connect(SocketHandle socket, std::uint32_t address, std::uint16_t port) override;
    Readiness waitReadable(SocketHandle socket, std::uint32_t milliseconds) override;
    std::int32_t receive(SocketHandle socket, std::uint8_t* into, std::uint32_t n) override;
    std::int32_t send(SocketHandle socket, const std::uint8_t* bytes, std::uint32_t n) override;
    std::int32_t lastError() override { return error_; }

  private:
    std::int32_t error_ = 0;
    SocketHandle next_ = 100;
};

} // namespace kpv::test
