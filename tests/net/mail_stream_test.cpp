// The system mail stream against peers on 127.0.0.1: lines and their bounds in the clear, and
// (on Windows) SChannel's refusal of the driver's self-signed peers.
#include "net/mail_stream.h"

#include <doctest/doctest.h>

#include <chrono>
#include <string>

#include "tests/net/transport_peer.h"

using namespace kpv;
using kpv::test::TestPeer;

namespace {

bool oneLine(const std::string& text) {
    return !text.empty() && text.find_first_of("\r\n") == std::string::npos;
}

} // namespace

TEST_CASE("lines arrive without their line ends, in whatever pieces they come") {
    std::string written;
    test::TransportPeer peer([&](TestPeer& connection) {
        test::sendText(connection, "22");
        test::sendText(connection, "0 mail.example ESMTP\r");
        written = test::receiveThrough(connection, "\r\n");
        test::sendText(connection, "\n250-first\r\n250-\xC3\xA5\r\n250 bare end\n\r\n");
        test::sendText(connection, std::string(4096, 'a') + "\r\n" + std::string(5000, 'b'));
        std::uint8_t rest[1];
        connection.receive(rest, 1, 10000); // until the client closes
    });
    const auto stream = makeSystemMailStream();
    std::string error;
    REQUIRE(stream->open("127.0.0.1", peer.port(), false, 10000, error));
    std::string line;
    REQUIRE(stream->write("EHLO pc\r\n", 9, error));
    for (const char* expected :
         {"220 mail.example ESMTP", "250-first", "250-\xC3\xA5", "250 bare end", ""}) {
        REQUIRE(stream->readLine(line, error));
        CHECK(line == expected);
    }
    CHECK(written == "EHLO pc\r\n");
    REQUIRE(stream->readLine(line, error));
    CHECK(line == std::string(4096, 'a')); // the longest line allowed
    CHECK_FALSE(stream->readLine(line, error));
    CHECK(oneLine(error));
}

TEST_CASE("a silent, closing or absent mail server fails within the time-out") {
    test::TransportPeer silent([](TestPeer& connection) {
        std::uint8_t nothing[1];
        connection.receive(nothing, 1, 15000);
    });
    const auto stream = makeSystemMailStream();
    std::string error;
    REQUIRE(stream->open("127.0.0.1", silent.port(), false, 1000, error));
    std::string line;
    const auto start = std::chrono::steady_clock::now();
    CHECK_FALSE(stream->readLine(line, error));
    CHECK(std::chrono::steady_clock::now() - start < std::chrono::seconds(10));
    CHECK(oneLine(error));

    test::TransportPeer closing([](TestPeer& connection) { test::sendText(connection, "220 x"); });
    REQUIRE(stream->open("127.0.0.1", closing.port(), false, 5000, error));
    CHECK_FALSE(stream->readLine(line, error)); // the line never ends
    CHECK(oneLine(error));

    const std::uint16_t closedPort = [] {
        test::TransportPeer gone([](TestPeer&) {}, 0);
        return gone.port();
    }();
    error.clear();
    CHECK_FALSE(stream->open("127.0.0.1", closedPort, false, 5000, error));
    CHECK(oneLine(error));
    CHECK_FALSE(stream->open("no-such-host.invalid", 25, false, 5000, error));
    CHECK(oneLine(error));
}

#ifndef _WIN32
TEST_CASE("without system TLS, TLS is refused rather than skipped") {
    std::string error;
    CHECK_FALSE(makeSystemMailStream()->open("127.0.0.1", 465, true, 1000, error));
    CHECK(error == "TLS is not available on this platform");
}
#else
TEST_CASE("TLS to a mail server whose certificate is not trusted is refused") {
    const std::uint16_t implicitPort = test::driverPort("KPV_TLS_PORT");
    const std::uint16_t startTlsPort = test::driverPort("KPV_STARTTLS_PORT");
    if (implicitPort == 0 || startTlsPort == 0) {
        MESSAGE("no TLS peers (run through tests/net/tls_peer.py)");
        return;
    }
    const auto stream = makeSystemMailStream();
    std::string error;
    std::string line;
    const std::size_t before = test::selfSignedTlsEvents().size();
    CHECK_FALSE(stream->open("localhost", implicitPort, true, 10000, error));
    CHECK(oneLine(error));
    REQUIRE(stream->open("localhost", startTlsPort, false, 10000, error));
    REQUIRE(stream->readLine(line, error));
    REQUIRE(stream->write("STARTTLS\r\n", 10, error));
    REQUIRE(stream->readLine(line, error));
    CHECK(line == "220 go ahead");
    CHECK_FALSE(stream->startTls(error));
    CHECK(oneLine(error));
    CHECK(error.find("trusted authority") != std::string::npos);
    // Both handshakes were complete; nothing went through them.
    CHECK(test::selfSignedTlsEvents().substr(before) == "handshake\nhandshake\n");

    // Whatever came in the clear behind the go-ahead is never taken for protected data.
    test::TransportPeer injecting([](TestPeer& connection) {
        test::sendText(connection, "220 go ahead\r\n250 AUTH PLAIN\r\n");
        std::uint8_t rest[1];
        connection.receive(rest, 1, 10000);
    });
    const auto injected = makeSystemMailStream();
    REQUIRE(injected->open("127.0.0.1", injecting.port(), false, 10000, error));
    REQUIRE(injected->readLine(line, error));
    CHECK_FALSE(injected->startTls(error));
    CHECK(error == "The mail server sent more than its answer before TLS began");
}

#endif
