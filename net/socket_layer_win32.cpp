// Windows Sockets 2 for the Windows client.
#include "net/socket_layer.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include "net/ip4_address.h" // after the socket headers

namespace kpv {
namespace {

constexpr WORD WINSOCK_VERSION_2_0 = 0x0002; // major version in the low byte

SOCKET native(SocketHandle socket) {
    return static_cast<SOCKET>(socket);
}

timeval waitOf(std::uint32_t milliseconds) {
    timeval wait{};
    wait.tv_sec = static_cast<long>(milliseconds / 1000);
    wait.tv_usec = static_cast<long>(milliseconds % 1000 * 1000);
    return wait;
}

// One socket per set: filled directly rather than through the FD_SET macros.
fd_set setOf(SOCKET socket) {
    fd_set set{};
    set.fd_count = 1;
    set.fd_array[0] = socket;
    return set;
}

int clamp(std::uint32_t n) {
    return n > 0x7FFFFFFFu ? 0x7FFFFFFF : static_cast<int>(n);
}

class WinsockLayer final : public SocketLayer {
  public:
    bool startup() override {
        WSADATA data{};
        return WSAStartup(WINSOCK_VERSION_2_0, &data) == 0;
    }

    void cleanup() override { WSACleanup(); }

    SocketHandle openStream() override {
        const SOCKET socket = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        if (socket == ~SOCKET{0})
            return INVALID_SOCKET_HANDLE;
        u_long nonBlocking = 1;
        if (::ioctlsocket(socket, static_cast<long>(FIONBIO), &nonBlocking) != 0) {
            ::closesocket(socket);
            return INVALID_SOCKET_HANDLE;
        }
        return static_cast<SocketHandle>(socket);
    }

    void close(SocketHandle socket) override { ::closesocket(native(socket)); }

    std::int32_t resolve(const char* hostName, std::uint32_t& address) override {
        if (hostName == nullptr)
            return WSAHOST_NOT_FOUND;
        bool found = false;
        if (ip4::lookUp(hostName, address, found) != 0) {
            const int error = WSAGetLastError();
            return error != 0 ? error : WSAHOST_NOT_FOUND;
        }
        return found ? 0 : WSANO_DATA;
    }

    bool connect(SocketHandle socket, std::uint32_t address, std::uint16_t port,
                 std::uint32_t milliseconds) override {
        if (ip4::connect(native(socket), address, port) == 0)
            return true;
        if (WSAGetLastError() != WSAEWOULDBLOCK)
            return false;
        // Winsock reports a finished connect as writable, a failed one as exceptional.
        fd_set writable = setOf(native(socket));
        fd_set exceptional = writable;
        timeval wait = waitOf(milliseconds);
        const int ready = ::select(0, nullptr, &writable, &exceptional, &wait);
        if (ready == SOCKET_ERROR)
            return false;
        if (ready == 0) {
            WSASetLastError(WSAETIMEDOUT);
            return false;
        }
        int pending = 0;
        int size = sizeof pending;
        if (::getsockopt(native(socket), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&pending),
                         &size) != 0)
            return false;
        if (pending == 0 && exceptional.fd_count == 0)
            return true;
        WSASetLastError(pending != 0 ? pending : WSAECONNREFUSED);
        return false;
    }

    Readiness waitReadable(SocketHandle socket, std::uint32_t milliseconds) override {
        fd_set readable = setOf(native(socket));
        fd_set exceptional = readable;
        timeval wait = waitOf(milliseconds);
        const int ready = ::select(0, &readable, nullptr, &exceptional, &wait);
        if (ready == SOCKET_ERROR)
            return Readiness::Failed;
        if (ready == 0)
            return Readiness::TimedOut;
        if (exceptional.fd_count != 0)
            return Readiness::Exception;
        return Readiness::Readable;
    }

    Readiness waitWritable(SocketHandle socket, std::uint32_t milliseconds) override {
        fd_set writable = setOf(native(socket));
        fd_set exceptional = writable;
        timeval wait = waitOf(milliseconds);
        const int ready = ::select(0, nullptr, &writable, &exceptional, &wait);
        if (ready == SOCKET_ERROR)
            return Readiness::Failed;
        if (ready == 0)
            return Readiness::TimedOut;
        if (exceptional.fd_count != 0)
            return Readiness::Exception;
        return Readiness::Writable;
    }

    std::int32_t receive(SocketHandle socket, std::uint8_t* into, std::uint32_t n) override {
        const int got = ::recv(native(socket), reinterpret_cast<char*>(into), clamp(n), 0);
        return got == SOCKET_ERROR ? -1 : got;
    }

    std::int32_t send(SocketHandle socket, const std::uint8_t* bytes, std::uint32_t n) override {
        const int sent = ::send(native(socket), reinterpret_cast<const char*>(bytes), clamp(n), 0);
        if (sent == SOCKET_ERROR && WSAGetLastError() == WSAEWOULDBLOCK)
            return 0; // full for now: the caller waits for room within its limit
        return sent == SOCKET_ERROR ? -1 : sent;
    }

    std::int32_t lastError() override { return WSAGetLastError(); }
};

} // namespace

SocketLayer& systemSocketLayer() {
    static WinsockLayer layer;
    return layer;
}

} // namespace kpv
