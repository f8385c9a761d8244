#pragma once
// One scripted connection on 127.0.0.1 for the transport tests, served on its own thread, and
// the address of the TLS peer with a self-signed certificate that the test driver starts.
#include "tests/net/test_listener.h"

#include <cstdint>
#include <functional>
#include <string>
#include <thread>

namespace kpv::test {

class TransportPeer {
  public:
    // Accepts one connection (waiting up to acceptMilliseconds) and hands it to `script`.
    explicit TransportPeer(std::function<void(TestPeer&)> script,
                           std::uint32_t acceptMilliseconds = 10000);
    ~TransportPeer();
    TransportPeer(const TransportPeer&) = delete;
    TransportPeer& operator=(const TransportPeer&) = delete;

    std::uint16_t port() const { return listener_.port(); }
    // Waits for the script to end; afterwards accepted() tells whether anybody connected.
    void finish();
    bool accepted() const { return accepted_; }

  private:
    TestListener listener_;
    bool accepted_ = false;
    std::thread thread_;
};

// Receives until `marker` has arrived and then `extra` more bytes; what came, empty on
// time-out.
std::string receiveThrough(TestPeer& peer, const std::string& marker, std::size_t extra = 0);
bool sendText(TestPeer& peer, const std::string& text);

// The driver's TLS peers (tls_peer.py): the port in the environment variable `name`
// (KPV_TLS_PORT, KPV_STARTTLS_PORT), 0 when the test runs without the driver; what they have
// seen so far, one event a line.
std::uint16_t driverPort(const char* name);
std::string selfSignedTlsEvents();

} // namespace kpv::test
