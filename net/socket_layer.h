#pragma once
// The seam between the exchange and the platform's sockets: Winsock on Windows, POSIX sockets
// elsewhere, or a fake in tests and fuzzing. Every platform call is checked here and turned
// into the plain values the exchange expects. Addresses and ports are in host byte order.
#include <cstdint>
#include <utility>

namespace kpv {

using SocketHandle = std::uintptr_t;
inline constexpr SocketHandle INVALID_SOCKET_HANDLE = ~SocketHandle{0};

enum class Readiness {
    Failed,    // the wait itself failed; lastError() tells why
    TimedOut,  // nothing happened within the wait
    Exception, // the socket reported an exceptional condition (checked before readability)
    Readable,  // data, end of stream or an error waits for receive()
    Writable,  // room for send(), or an error that the next send() reports
};

class SocketLayer {
  public:
    virtual ~SocketLayer() = default;

    // Starts the platform's sockets (Winsock 2.0). False when they cannot be used.
    virtual bool startup() = 0;
    // Undoes one successful startup().
    virtual void cleanup() = 0;

    // A non-blocking IPv4 TCP socket, or INVALID_SOCKET_HANDLE: no call on it waits longer
    // than the time it is given, so a server that stops reading cannot hold the caller.
    virtual SocketHandle openStream() = 0;
    virtual void close(SocketHandle socket) = 0;

    // Resolves an IPv4 address for `hostName` (null: no name to resolve, which fails). 0 and
    // the first result's address on success, otherwise the resolver's non-zero error number.
    // Whatever the resolver allocated is freed before returning.
    virtual std::int32_t resolve(const char* hostName, std::uint32_t& address) = 0;

    // Connects within `milliseconds`; false on failure, with lastError() the connect's error
    // (the platform's "timed out" number when the time ran out).
    virtual bool connect(SocketHandle socket, std::uint32_t address, std::uint16_t port,
                         std::uint32_t milliseconds) = 0;
    // Readable (or Exception) once receive() has something to report, else TimedOut.
    virtual Readiness waitReadable(SocketHandle socket, std::uint32_t milliseconds) = 0;
    // Writable (or Exception) once send() can take a byte or report an error, else TimedOut.
    virtual Readiness waitWritable(SocketHandle socket, std::uint32_t milliseconds) = 0;
    // Bytes received (at most n), 0 when the peer closed the stream, -1 on failure.
    virtual std::int32_t receive(SocketHandle socket, std::uint8_t* into, std::uint32_t n) = 0;
    // Bytes accepted (at most n, possibly fewer, 0 when the socket's buffer is full for now),
    // or -1 on failure. Never waits.
    virtual std::int32_t send(SocketHandle socket, const std::uint8_t* bytes, std::uint32_t n) = 0;

    // The error number of the last failed call (WSAGetLastError, errno).
    virtual std::int32_t lastError() = 0;
};

// The machine's sockets.
SocketLayer& systemSocketLayer();

// Owns one socket of a layer; closing twice cannot happen.
class Socket {
  public:
    Socket() = default;
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    Socket(Socket&& other) noexcept
        : layer_(other.layer_), handle_(std::exchange(other.handle_, INVALID_SOCKET_HANDLE)) {}
    Socket& operator=(Socket&& other) noexcept {
        if (this != &other) {
            close();
            layer_ = other.layer_;
            handle_ = std::exchange(other.handle_, INVALID_SOCKET_HANDLE);
        }
        return *this;
    }
    ~Socket() { close(); }

    // Closes what is held, then opens a new socket; false when none could be made.
    bool open(SocketLayer& layer) {
        close();
        layer_ = &layer;
        handle_ = layer.openStream();
        return handle_ != INVALID_SOCKET_HANDLE;
    }
    void close() noexcept {
        if (handle_ != INVALID_SOCKET_HANDLE)
            layer_->close(std::exchange(handle_, INVALID_SOCKET_HANDLE));
    }
    bool isOpen() const noexcept { return handle_ != INVALID_SOCKET_HANDLE; }
    SocketHandle handle() const noexcept { return handle_; }

  private:
    SocketLayer* layer_ = nullptr;
    SocketHandle handle_ = INVALID_SOCKET_HANDLE;
};

} // namespace kpv
