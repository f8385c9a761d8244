#pragma once
// A scripted monitoring server on 127.0.0.1, run on its own thread: one script per expected
// connection, in order. It works on plain byte vectors (never SecureBuffer), so that the
// client's buffers are the only ones the release observer sees.
#include "tests/net/test_listener.h"

#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace kpv::test {

using Bytes = std::vector<std::uint8_t>;

// What a script does with one accepted connection.
class ServerSide {
  public:
    ServerSide(TestPeer& peer, std::vector<Bytes>& requests, std::mutex& lock)
        : peer_(peer), requests_(requests), lock_(lock) {}

    // Reads until a whole frame has arrived (kept for requests()); empty on time-out or close.
    Bytes readFrame(std::uint32_t milliseconds = 5000);
    bool send(const Bytes& bytes);
    // `count` bytes of `value`, without holding them all at once.
    bool sendFiller(std::size_t count, std::uint8_t value);
    // `bytes` in pieces of `piece` bytes with `gapMilliseconds` between them.
    bool sendInPieces(const Bytes& bytes, std::size_t piece, std::uint32_t gapMilliseconds);
    void pause(std::uint32_t milliseconds);
    // Holds the connection until the client closes it; false when it did not within the time.
    bool waitForClose(std::uint32_t milliseconds = 10000);

  private:
    TestPeer& peer_;
    std::vector<Bytes>& requests_;
    std::mutex& lock_;
};

using Script = std::function<void(ServerSide&)>;

class LoopbackServer {
  public:
    explicit LoopbackServer(std::vector<Script> scripts, int receiveBufferBytes = 0);
    ~LoopbackServer() { finish(); }
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    std::uint16_t port() const { return listener_.port(); }
    // Stops accepting once no connection is waiting and the scripts under way have ended.
    void finish();
    // Valid after finish().
    std::size_t connections() const { return connections_; }
    std::vector<Bytes> requests() const;

  private:
    void serve();

    TestListener listener_;
    std::vector<Script> scripts_;
    std::vector<Bytes> requests_;
    mutable std::mutex lock_;
    bool stopping_ = false;
    std::size_t connections_ = 0;
    std::thread thread_;
};

} // namespace kpv::test
