#pragma once
// Name resolution and connecting, the same for Winsock and POSIX sockets: only for the two
// socket layers, which include it after their platform's socket headers (addrinfo,
// sockaddr_in, getaddrinfo, connect).
#include <cstdint>
#include <cstring>

namespace kpv::ip4 {

// Asks the resolver for an IPv4 TCP address of `hostName`. Returns getaddrinfo's own result;
// when that is 0, `found` tells whether the first answer was an IPv4 address, which is then in
// `address` (host byte order). The resolver's list is freed before returning.
inline int lookUp(const char* hostName, std::uint32_t& address, bool& found) {
    found = false;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* list = nullptr;
    const int result = ::getaddrinfo(hostName, "0", &hints, &list);
    if (result != 0)
        return result;
    if (list != nullptr && list->ai_addr != nullptr && list->ai_addrlen >= sizeof(sockaddr_in) &&
        list->ai_family == AF_INET) {
        sockaddr_in first{};
        std::memcpy(&first, list->ai_addr, sizeof first);
        address = ntohl(first.sin_addr.s_addr);
        found = true;
    }
    ::freeaddrinfo(list);
    return 0;
}

// connect() to address:port (host byte order); returns the platform call's result, 0 on success.
template <class NativeSocket>
int connect(NativeSocket socket, std::uint32_t address, std::uint16_t port) {
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(port);
    target.sin_addr.s_addr = htonl(address);
    sockaddr generic{};
    static_assert(sizeof generic == sizeof target);
    std::memcpy(&generic, &target, sizeof target);
    return ::connect(socket, &generic, sizeof generic);
}

} // namespace kpv::ip4
