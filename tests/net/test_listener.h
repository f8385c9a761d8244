#pragma once
// A listening TCP socket on 127.0.0.1 for tests: the server side of the exchange, written
// directly against the platform's sockets so that it shares nothing with the code under test.
#include <cstddef>
#include <cstdint>

namespace kpv::test {

inline constexpr int PEER_TIMED_OUT = -2;

// One accepted connection; closed when destroyed.
class TestPeer {
  public:
    TestPeer() = default;
    explicit TestPeer(std::uintptr_t handle) : handle_(handle) {}
    TestPeer(TestPeer&& other) noexcept;
    TestPeer& operator=(TestPeer&& other) noexcept;
    TestPeer(const TestPeer&) = delete;
    TestPeer& operator=(const TestPeer&) = delete;
    ~TestPeer() { close(); }

    bool valid() const { return handle_ != INVALID; }
    // Waits up to `milliseconds`: bytes received (at most n), 0 when the client closed, -1 on
    // failure, PEER_TIMED_OUT when nothing came.
    int receive(std::uint8_t* into, std::size_t n, std::uint32_t milliseconds);
    // False when the connection failed before everything was sent.
    bool sendAll(const std::uint8_t* bytes, std::size_t n);
    void close();

  private:
    static constexpr std::uintptr_t INVALID = ~std::uintptr_t{0};
    std::uintptr_t handle_ = INVALID;
};

class TestListener {
  public:
    // On a free port; throws std::runtime_error when that is impossible. A positive
    // `receiveBufferBytes` gives every accepted connection that small a receive buffer.
    explicit TestListener(int receiveBufferBytes = 0);
    ~TestListener();
    TestListener(const TestListener&) = delete;
    TestListener& operator=(const TestListener&) = delete;

    std::uint16_t port() const { return port_; }
    // A connection, or an invalid peer when nobody connected within `milliseconds`.
    TestPeer accept(std::uint32_t milliseconds);

  private:
    std::uintptr_t handle_;
    std::uint16_t port_ = 0;
};

} // namespace kpv::test
