#include "tests/net/socket_peers.h"

#include "tests/support/hex.h"

#include <doctest/doctest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace kpv::test {
namespace {

// A file the driver named on the Linux side.
std::string driverFile(const char* variable) {
    const char* value = std::getenv(variable);
    if (value == nullptr)
        return {};
    std::string path = value;
#ifdef _WIN32
    // The driver runs on the Linux side; Wine shows its root as drive Z:.
    if (!path.empty() && path.front() == '/')
        path = "Z:" + path;
#endif
    return path;
}

} // namespace

std::uint16_t peerPort(const char* name) {
    const char* port = std::getenv(name);
    REQUIRE_MESSAGE(port != nullptr, name << " is not set: run through tests/net/socket_peers.py");
    return static_cast<std::uint16_t>(std::atoi(port));
}

std::string peerEvents() {
    std::ifstream file(driverFile("KPV_PEER_LOG"));
    std::ostringstream events;
    events << file.rdbuf();
    return events.str();
}

std::string lastBytesOf(const std::string& events, const std::string& peer) {
    const std::string start = peer + ' ';
    std::string hex;
    std::istringstream lines(events);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind(start, 0) == 0)
            hex = line.substr(start.size());
    }
    const SecureBuffer bytes = fromHex(hex);
    if (bytes.empty())
        return {};
    return {reinterpret_cast<const char*>(bytes.data()), bytes.length()};
}

} // namespace kpv::test
