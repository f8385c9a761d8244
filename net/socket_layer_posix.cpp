// POSIX sockets for builds other than Windows (the client's tests and tools run here).
#include "net/socket_layer.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "net/ip4_address.h" // after the socket headers

namespace kpv {
namespace {

#ifdef MSG_NOSIGNAL
constexpr int SEND_FLAGS = MSG_NOSIGNAL; // a closed peer must not raise SIGPIPE
#else
constexpr int SEND_FLAGS = 0;
#endif

int descriptor(SocketHandle socket) {
    return static_cast<int>(socket);
}

int pollTimeout(std::uint32_t milliseconds) {
    return milliseconds > 0x7FFFFFFFu ? 0x7FFFFFFF : static_cast<int>(milliseconds);
}

// poll rather than select: select cannot watch a descriptor at or above FD_SETSIZE. 1 when the
// descriptor is ready (`revents` tells how), 0 when the time ran out, -1 on failure (errno).
int pollOne(int fd, short events, std::uint32_t milliseconds, short& revents) {
    pollfd watched{};
    watched.fd = fd;
    watched.events = events;
    int ready = 0;
    do
        ready = ::poll(&watched, 1, pollTimeout(milliseconds));
    while (ready < 0 && errno == EINTR);
    revents = watched.revents;
    if (ready > 0 && (revents & POLLNVAL) != 0) {
        errno = EBADF;
        return -1;
    }
    return ready;
}

// Counts stay within what the int32 results can carry.
std::size_t clamp(std::uint32_t n) {
    return n > 0x7FFFFFFFu ? 0x7FFFFFFFu : n;
}

class PosixSocketLayer final : public SocketLayer {
  public:
    bool startup() override { return true; }
    void cleanup() override {}

    SocketHandle openStream() override {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, IPPROTO_TCP);
        if (fd < 0)
            return keepError(INVALID_SOCKET_HANDLE);
        return static_cast<SocketHandle>(fd);
    }

    void close(SocketHandle socket) override { ::close(descriptor(socket)); }

    std::int32_t resolve(const char* hostName, std::uint32_t& address) override {
        if (hostName == nullptr)
            return EAI_NONAME;
        bool found = false;
        const int result = ip4::lookUp(hostName, address, found);
        return result != 0 ? result : found ? 0 : EAI_NONAME;
    }

    bool connect(SocketHandle socket, std::uint32_t address, std::uint16_t port,
                 std::uint32_t milliseconds) override {
        const int fd = descriptor(socket);
        if (ip4::connect(fd, address, port) == 0)
            return true;
        if (errno != EINPROGRESS && errno != EINTR) {
            error_ = errno;
            return false;
        }
        short revents = 0;
        const int ready = pollOne(fd, POLLOUT, milliseconds, revents);
        if (ready <= 0) {
            error_ = ready == 0 ? ETIMEDOUT : errno;
            return false;
        }
        int pending = 0;
        socklen_t size = sizeof pending;
        if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &pending, &size) != 0)
            pending = errno;
        error_ = pending;
        return pending == 0;
    }

    Readiness waitReadable(SocketHandle socket, std::uint32_t milliseconds) override {
        short revents = 0;
        const int ready = pollOne(descriptor(socket), POLLIN | POLLPRI, milliseconds, revents);
        if (ready < 0) {
            error_ = errno;
            return Readiness::Failed;
        }
        if (ready == 0)
            return Readiness::TimedOut;
        if ((revents & POLLPRI) != 0)
            return Readiness::Exception;
        return Readiness::Readable; // errors and hang-ups show in the following receive
    }

    Readiness waitWritable(SocketHandle socket, std::uint32_t milliseconds) override {
        short revents = 0;
        const int ready = pollOne(descriptor(socket), POLLOUT, milliseconds, revents);
        if (ready < 0) {
            error_ = errno;
            return Readiness::Failed;
        }
        return ready == 0 ? Readiness::TimedOut : Readiness::Writable; // errors show in send
    }

    std::int32_t receive(SocketHandle socket, std::uint8_t* into, std::uint32_t n) override {
        ssize_t got = 0;
        do
            got = ::recv(descriptor(socket), into, clamp(n), 0);
        while (got < 0 && errno == EINTR);
        if (got < 0)
            error_ = errno;
        return static_cast<std::int32_t>(got);
    }

    std::int32_t send(SocketHandle socket, const std::uint8_t* bytes, std::uint32_t n) override {
        ssize_t sent = 0;
        do
            sent = ::send(descriptor(socket), bytes, clamp(n), SEND_FLAGS);
        while (sent < 0 && errno == EINTR);
        if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return 0; // full for now: the caller waits for room within its limit
        if (sent < 0)
            error_ = errno;
        return static_cast<std::int32_t>(sent);
    }

    std::int32_t lastError() override { return error_; }

  private:
    SocketHandle keepError(SocketHandle result) {
        error_ = errno;
        return result;
    }

    std::int32_t error_ = 0;
};

} // namespace

SocketLayer& systemSocketLayer() {
    static PosixSocketLayer layer;
    return layer;
}

} // namespace kpv
