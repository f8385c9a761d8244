#include "tests/net/transport_peer.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <utility>

namespace kpv::test {

TransportPeer::TransportPeer(std::function<void(TestPeer&)> script,
                             std::uint32_t acceptMilliseconds)
    : thread_([this, script = std::move(script), acceptMilliseconds] {
          TestPeer peer = listener_.accept(acceptMilliseconds);
          accepted_ = peer.valid();
          if (accepted_)
              script(peer);
      }) {}

TransportPeer::~TransportPeer() {
    finish();
}

void TransportPeer::finish() {
    if (thread_.joinable())
        thread_.join();
}

std::string receiveThrough(TestPeer& peer, const std::string& marker, std::size_t extra) {
    std::string got;
    for (;;) {
        const std::size_t at = got.find(marker);
        if (at != std::string::npos && got.size() >= at + marker.size() + extra)
            return got;
        std::uint8_t piece[1024];
        const int n = peer.receive(piece, sizeof piece, 10000);
        if (n <= 0)
            return {};
        got.append(reinterpret_cast<const char*>(piece), static_cast<std::size_t>(n));
    }
}

bool sendText(TestPeer& peer, const std::string& text) {
    return peer.sendAll(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

std::uint16_t driverPort(const char* name) {
    const char* port = std::getenv(name);
    return port == nullptr ? 0 : static_cast<std::uint16_t>(std::atoi(port));
}

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

std::string selfSignedTlsEvents() {
    std::ifstream file(driverFile("KPV_TLS_LOG"));
    std::ostringstream events;
    events << file.rdbuf();
    return events.str();
}

} // namespace kpv::test
