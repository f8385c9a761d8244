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

// Counts stay within what the int32 results can carry.
std::size_t clamp(std::uint32_t n) {
    return n > 0x7FFFFFFFu ? 0x7FFFFFFFu : n;
}

class PosixSocketLayer final : public SocketLayer {
  public:
    bool startup() override { return true; }
    void cleanup() override {}

    SocketHandle openStream() override {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
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

    bool connect(SocketHandle socket, std::uint32_t address, std::uint16_t port) override {
        if (ip4::connect(descriptor(socket), address, port) == 0)
            return true;
        error_ = errno;
        return false;
    }

    Readiness waitReadable(SocketHandle socket, std::uint32_t milliseconds) override {
        // poll rather than select: select cannot watch a descriptor at or above FD_SETSIZE.
        pollfd watched{};
        watched.fd = descriptor(socket);
        watched.events = POLLIN | POLLPRI;
        const int timeout =
            milliseconds > 0x7FFFFFFFu ? 0x7FFFFFFF : static_cast<int>(milliseconds);
        int ready = 0;
        do
            ready = ::poll(&watched, 1, timeout);
        while (ready < 0 && errno == EINTR);
        if (ready < 0) {
            error_ = errno;
            return Readiness::Failed;
        }
        if (ready == 0)
            return Readiness::TimedOut;
        if ((watched.revents & POLLNVAL) != 0) {
            error_ = EBADF;
            return Readiness::Failed;
        }
        if ((watched.revents & POLLPRI) != 0)
            return Readiness::Exception;
        return Readiness::Readable; // errors and hang-ups show in the following receive
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
