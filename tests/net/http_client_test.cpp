// The system HTTP client (WinHTTP) against the driver's peers on 127.0.0.1
// (tests/net/socket_peers.py).
#include "net/http_client.h"

#include <doctest/doctest.h>

#include <chrono>
#include <string>

#include "tests/net/socket_peers.h"

using namespace kpv;
using kpv::test::peerPort;

namespace {

std::string url(std::uint16_t port, const std::string& rest, const char* scheme = "http") {
    return std::string(scheme) + "://127.0.0.1:" + std::to_string(port) + rest;
}

bool oneLine(const std::string& text) {
    return !text.empty() && text.find_first_of("\r\n") == std::string::npos;
}

} // namespace

TEST_CASE("a POST carries its headers and body, and the status line comes back as it was") {
    const auto client = makeSystemHttpClient();
    const std::uint16_t port = peerPort("KPV_HTTP_PORT");
    const std::string body =
        "{\"event\": \"test\", \"summary\": \"1 konto har en f\xC3\xB6r\xC3\xA5ldrad kopia\"}";
    struct Answer {
        const char* code; // the peer answers with the status its path names
        int status;
        const char* reason;
    };
    for (const Answer answer : {Answer{"204", 204, "No Content"}, Answer{"404", 404, "Not Found"},
                                Answer{"503", 503, "Try Later"}}) {
        CAPTURE(answer.code);
        const std::size_t before = test::peerEvents().size();
        HttpRequest post;
        post.method = "POST";
        post.url = url(port, std::string("/") + answer.code + "/hook/a?topic=kopia#not-sent");
        post.headers = {{"Content-Type", "application/json"}, {"Title", "Kopiavakt: test"}};
        post.body = body;
        post.timeoutMilliseconds = 10000;
        const HttpResult result = client->send(post);
        const std::string request = test::lastBytesOf(test::peerEvents().substr(before), "http");
        CHECK(result.answered);
        CHECK(result.status == answer.status);
        CHECK(result.detail == answer.reason);
        CHECK(
            request.rfind(std::string("POST /") + answer.code + "/hook/a?topic=kopia HTTP/1.1\r\n",
                          0) == 0);
        CHECK(request.find("\r\nContent-Type: application/json\r\n") != std::string::npos);
        CHECK(request.find("\r\nTitle: Kopiavakt: test\r\n") != std::string::npos);
        CHECK(request.find("\r\nContent-Length: " + std::to_string(body.size()) + "\r\n") !=
              std::string::npos);
        CHECK(request.substr(request.find("\r\n\r\n") + 4) == body);
    }

    SUBCASE("a header that would start another one is refused before anything is sent") {
        const std::size_t before = test::peerEvents().size();
        HttpRequest post;
        post.method = "POST";
        post.url = url(port, "/204/");
        post.headers = {{"Title", "x\r\nX-Injected: 1"}};
        post.timeoutMilliseconds = 2000;
        const HttpResult result = client->send(post);
        CHECK_FALSE(result.answered);
        CHECK(oneLine(result.detail));
        CHECK(test::peerEvents().size() == before); // nobody connected
    }
}

TEST_CASE("a peer that never answers, or is not there, fails within the time-out") {
    const auto client = makeSystemHttpClient();
    const std::size_t before = test::peerEvents().size();
    HttpRequest get;
    get.method = "GET";
    get.url = url(peerPort("KPV_SILENT_PORT"), "/ping");
    get.timeoutMilliseconds = 1500;
    const auto start = std::chrono::steady_clock::now();
    const HttpResult result = client->send(get);
    const auto waited = std::chrono::steady_clock::now() - start;
    CHECK_FALSE(result.answered);
    CHECK(oneLine(result.detail));
    const std::string request = test::lastBytesOf(test::peerEvents().substr(before), "silent");
    CHECK(request.rfind("GET /ping HTTP/1.1\r\n", 0) == 0);
    CHECK(waited < std::chrono::seconds(12)); // bounded by the time-out, not by the peer

    get.url = url(test::CLOSED_PORT, "/ping");
    const HttpResult refused = client->send(get);
    CHECK_FALSE(refused.answered);
    CHECK(oneLine(refused.detail));

    get.url = "ftp://127.0.0.1/x";
    CHECK(oneLine(client->send(get).detail));
}

TEST_CASE("https to a server with a self-signed certificate is refused") {
    const std::uint16_t port = peerPort("KPV_TLS_PORT");
    const auto client = makeSystemHttpClient();
    const std::size_t before = test::peerEvents().size();
    HttpRequest post;
    post.method = "POST";
    post.url = url(port, "/hook", "https");
    post.body = "{}";
    post.timeoutMilliseconds = 10000;
    const HttpResult result = client->send(post);
    CAPTURE(result.detail);
    CHECK_FALSE(result.answered);
    CHECK(oneLine(result.detail));
    // TLS itself worked: the refusal was the certificate's.
    CHECK(test::peerEvents().substr(before) == "handshake\n");
}
