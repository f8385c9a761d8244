#include "tests/net/test_listener.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>

namespace kpv::test {
namespace {

int fd(std::uintptr_t handle) {
    return static_cast<int>(handle);
}

bool waitReadable(int socket, std::uint32_t milliseconds) {
    pollfd watched{};
    watched.fd = socket;
    watched.events = POLLIN;
    int ready = 0;
    do
        ready = ::poll(&watched, 1, static_cast<int>(milliseconds));
    while (ready < 0 && errno == EINTR);
    return ready > 0;
}

} // namespace

TestPeer::TestPeer(TestPeer&& other) noexcept : handle_(std::exchange(other.handle_, INVALID)) {}

TestPeer& TestPeer::operator=(TestPeer&& other) noexcept {
    if (this != &other) {
        close();
        handle_ = std::exchange(other.handle_, INVALID);
    }
    return *this;
}

int TestPeer::receive(std::uint8_t* into, std::size_t n, std::uint32_t milliseconds) {
    if (!waitReadable(fd(handle_), milliseconds))
        return PEER_TIMED_OUT;
    const ssize_t got = ::recv(fd(handle_), into, n, 0);
    return got < 0 ? -1 : static_cast<int>(got);
}

bool TestPeer::sendAll(const std::uint8_t* bytes, std::size_t n) {
    while (n > 0) {
        const ssize_t sent = ::send(fd(handle_), bytes, n, MSG_NOSIGNAL);
        if (sent <= 0)
            return false;
        bytes += sent;
        n -= static_cast<std::size_t>(sent);
    }
    return true;
}

void TestPeer::close() {
    if (handle_ != INVALID)
        ::close(fd(std::exchange(handle_, INVALID)));
}

TestListener::TestListener(int receiveBufferBytes) {
    const int socket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (socket < 0)
        throw std::runtime_error("no listening socket");
    handle_ = static_cast<std::uintptr_t>(socket);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(0x7F000001u);
    sockaddr generic{};
    std::memcpy(&generic, &local, sizeof local);
    socklen_t size = sizeof generic;
    // Accepted connections inherit the buffer size, and with it the window they offer.
    if ((receiveBufferBytes > 0 && ::setsockopt(socket, SOL_SOCKET, SO_RCVBUF,
                                                reinterpret_cast<const char*>(&receiveBufferBytes),
                                                sizeof receiveBufferBytes) != 0) ||
        ::bind(socket, &generic, size) != 0 || ::listen(socket, 8) != 0 ||
        ::getsockname(socket, &generic, &size) != 0) {
        ::close(socket);
        throw std::runtime_error("cannot listen on loopback");
    }
    std::memcpy(&local, &generic, sizeof local);
    port_ = ntohs(local.sin_port);
}

TestListener::~TestListener() {
    ::close(fd(handle_));
}

TestPeer TestListener::accept(std::uint32_t milliseconds) {
    if (!waitReadable(fd(handle_), milliseconds))
        return {};
    const int peer = ::accept(fd(handle_), nullptr, nullptr);
    return peer < 0 ? TestPeer() : TestPeer(static_cast<std::uintptr_t>(peer));
}

} // namespace kpv::test
