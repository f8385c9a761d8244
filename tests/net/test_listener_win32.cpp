#include "tests/net/test_listener.h"

#include <cstring>
#include <stdexcept>
#include <utility>
#include <winsock2.h>
#include <ws2tcpip.h>

namespace kpv::test {
namespace {

SOCKET native(std::uintptr_t handle) {
    return static_cast<SOCKET>(handle);
}

bool waitReadable(SOCKET socket, std::uint32_t milliseconds) {
    fd_set readable{};
    readable.fd_count = 1;
    readable.fd_array[0] = socket;
    timeval wait{};
    wait.tv_sec = static_cast<long>(milliseconds / 1000);
    wait.tv_usec = static_cast<long>(milliseconds % 1000 * 1000);
    return ::select(0, &readable, nullptr, nullptr, &wait) > 0;
}

int clamp(std::size_t n) {
    return n > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(n);
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
    if (!waitReadable(native(handle_), milliseconds))
        return PEER_TIMED_OUT;
    const int got = ::recv(native(handle_), reinterpret_cast<char*>(into), clamp(n), 0);
    return got == SOCKET_ERROR ? -1 : got;
}

bool TestPeer::sendAll(const std::uint8_t* bytes, std::size_t n) {
    while (n > 0) {
        const int sent = ::send(native(handle_), reinterpret_cast<const char*>(bytes), clamp(n), 0);
        if (sent == SOCKET_ERROR || sent == 0)
            return false;
        bytes += sent;
        n -= static_cast<std::size_t>(sent);
    }
    return true;
}

void TestPeer::close() {
    if (handle_ != INVALID)
        ::closesocket(native(std::exchange(handle_, INVALID)));
}

TestListener::TestListener(int receiveBufferBytes) {
    WSADATA data{};
    if (WSAStartup(0x0202, &data) != 0)
        throw std::runtime_error("no Winsock");
    const SOCKET socket = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (socket == ~SOCKET{0}) {
        WSACleanup();
        throw std::runtime_error("no listening socket");
    }
    handle_ = static_cast<std::uintptr_t>(socket);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(0x7F000001u);
    sockaddr generic{};
    std::memcpy(&generic, &local, sizeof local);
    int size = sizeof generic;
    // Accepted connections inherit the buffer size, and with it the window they offer.
    if ((receiveBufferBytes > 0 && ::setsockopt(socket, SOL_SOCKET, SO_RCVBUF,
                                                reinterpret_cast<const char*>(&receiveBufferBytes),
                                                sizeof receiveBufferBytes) != 0) ||
        ::bind(socket, &generic, size) != 0 || ::listen(socket, 8) != 0 ||
        ::getsockname(socket, &generic, &size) != 0) {
        ::closesocket(socket);
        WSACleanup();
        throw std::runtime_error("cannot listen on loopback");
    }
    std::memcpy(&local, &generic, sizeof local);
    port_ = ntohs(local.sin_port);
}

TestListener::~TestListener() {
    ::closesocket(native(handle_));
    WSACleanup();
}

TestPeer TestListener::accept(std::uint32_t milliseconds) {
    if (!waitReadable(native(handle_), milliseconds))
        return {};
    const SOCKET peer = ::accept(native(handle_), nullptr, nullptr);
    return peer == ~SOCKET{0} ? TestPeer() : TestPeer(static_cast<std::uintptr_t>(peer));
}

} // namespace kpv::test
