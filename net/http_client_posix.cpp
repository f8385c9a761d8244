// Builds other than Windows have no system HTTP stack behind this seam: the alert logic is
// tested there with clients of its own.
#include "net/http_client.h"

namespace kpv {
namespace {

class UnavailableHttpClient final : public HttpClient {
  public:
    HttpResult send(const HttpRequest&) override {
        HttpResult result;
        result.detail = "HTTP is not available on this platform";
        return result;
    }
};

} // namespace

std::unique_ptr<HttpClient> makeSystemHttpClient() {
    return std::make_unique<UnavailableHttpClient>();
}

} // namespace kpv
