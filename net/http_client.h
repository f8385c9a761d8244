#pragma once
// One HTTP or HTTPS request, made by the system's own HTTP stack (WinHTTP on Windows) so that
// proxies and the certificate store are the system's. HTTPS always verifies the server's
// certificate and host name; nothing turns that off. Blocking: call it off the user-interface
// thread. Safe to use from one thread at a time per client.
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace kpv {

struct HttpRequest {
    std::string method;                                       // "POST" or "GET"
    std::string url;                                          // http:// or https://, UTF-8
    std::vector<std::pair<std::string, std::string>> headers; // name, value (UTF-8)
    std::string body;
    // Bounds each of name resolution, connecting, sending and receiving, in milliseconds.
    std::uint32_t timeoutMilliseconds = 30000;
};

struct HttpResult {
    bool answered = false; // the server sent a status line
    int status = 0;        // its status code when answered
    // The status line's reason phrase when answered, otherwise what failed (the system's
    // text or a short English one), UTF-8, one line.
    std::string detail;
};

class HttpClient {
  public:
    virtual ~HttpClient() = default;
    virtual HttpResult send(const HttpRequest& request) = 0;
};

// WinHTTP on Windows; on other platforms a client that answers every request with a failure.
std::unique_ptr<HttpClient> makeSystemHttpClient();

} // namespace kpv
