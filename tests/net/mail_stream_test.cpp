// The system mail stream against the driver's peers on 127.0.0.1 (tests/net/socket_peers.py):
// lines and their bounds in the clear, and (on Windows) SChannel's refusal of self-signed
// peers.
#include "net/mail_stream.h"

#include <doctest/doctest.h>

#include <chrono>
#include <string>

#include "tests/net/socket_peers.h"

using namespace kpv;
using kpv::test::peerPort;

namespace {

bool oneLine(const std::string& text) {
    return !text.empty() && text.find_first_of("\r\n") == std::string::npos;
}

} // namespace

TEST_CASE("lines arrive without their line ends, in whatever pieces they come") {
    const std::size_t before = test::peerEvents().size();
    const auto stream = makeSystemMailStream();
    std::string error;
    REQUIRE(stream->open("127.0.0.1", peerPort("KPV_MAIL_PORT"), false, 10000, error));
    std::string line;
    REQUIRE(stream->write("EHLO pc\r\n", 9, error));
    for (const char* expected :
         {"220 mail.example ESMTP", "250-first", "250-\xC3\xA5", "250 bare end", ""}) {
        REQUIRE(stream->readLine(line, error));
        CHECK(line == expected);
    }
    CHECK(test::lastBytesOf(test::peerEvents().substr(before), "mail") == "EHLO pc\r\n");
    REQUIRE(stream->readLine(line, error));
    CHECK(line == std::string(4096, 'a')); // the longest line allowed
    CHECK_FALSE(stream->readLine(line, error));
    CHECK(oneLine(error));
}

TEST_CASE("a silent, closing or absent mail server fails within the time-out") {
    const auto stream = makeSystemMailStream();
    std::string error;
    REQUIRE(stream->open("127.0.0.1", peerPort("KPV_SILENT_PORT"), false, 1000, error));
    std::string line;
    const auto start = std::chrono::steady_clock::now();
    CHECK_FALSE(stream->readLine(line, error));
    CHECK(std::chrono::steady_clock::now() - start < std::chrono::seconds(10));
    CHECK(oneLine(error));

    REQUIRE(stream->open("127.0.0.1", peerPort("KPV_CLOSING_PORT"), false, 5000, error));
    CHECK_FALSE(stream->readLine(line, error)); // "220 x": the line never ends
    CHECK(oneLine(error));

    error.clear();
    CHECK_FALSE(stream->open("127.0.0.1", test::CLOSED_PORT, false, 5000, error));
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
    const std::uint16_t implicitPort = peerPort("KPV_TLS_PORT");
    const std::uint16_t startTlsPort = peerPort("KPV_STARTTLS_PORT");
    const auto stream = makeSystemMailStream();
    std::string error;
    std::string line;
    const std::size_t before = test::peerEvents().size();
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
    CHECK(test::peerEvents().substr(before) == "handshake\nhandshake\n");

    // Whatever came in the clear behind the go-ahead is never taken for protected data.
    const auto injected = makeSystemMailStream();
    REQUIRE(injected->open("127.0.0.1", peerPort("KPV_INJECTING_PORT"), false, 10000, error));
    REQUIRE(injected->readLine(line, error));
    CHECK_FALSE(injected->startTls(error));
    CHECK(error == "The mail server sent more than its answer before TLS began");
}

#endif
