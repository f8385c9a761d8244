#pragma once
// The real peers that tests/net/socket_peers.py starts beside the tests that need real
// sockets: their ports, and what they have seen.
#include <cstdint>
#include <string>

namespace kpv::test {

// A port on 127.0.0.1 where nothing listens.
inline constexpr std::uint16_t CLOSED_PORT = 1;

// The port in the environment variable `name` (KPV_SERVER_PORT, KPV_MAIL_PORT, ...); fails the
// test when it runs without the driver.
std::uint16_t peerPort(const char* name);

// What the peers have seen so far, one event a line (the driver's KPV_PEER_LOG).
std::string peerEvents();

// The bytes of the last "`peer` HEX" event in `events`; empty when there is none.
std::string lastBytesOf(const std::string& events, const std::string& peer);

} // namespace kpv::test
