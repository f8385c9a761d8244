#pragma once
// Helpers shared by the tools' tests: byte literals, request frames, an independent opener of
// sealed statuses (OpenSSL decryption after the tag check) and a blocking test client.
#include "core/secure_buffer.h"
#include "tests/net/net_test_support.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kpv::test {

Bytes hexBytes(const std::string& hex); // spaces allowed
SecureBuffer bufferOf(const Bytes& b);
std::uint32_t u32At(const Bytes& b, std::size_t at);

// One entry of a status list.
struct ReplyEntry {
    Bytes sealed;
    Bytes tag;
    std::uint32_t diskSpaceHigh = 0;
    std::uint32_t diskSpaceLow = 0;
    std::uint32_t storedCopies = 0;
    std::uint32_t copiesMade = 0;
};

// Splits a whole reply frame into its entries; false when the body is not exactly one blob
// holding `count` well-formed entries.
bool splitReply(const Bytes& frame, std::size_t count, std::vector<ReplyEntry>& entries);

// Checks the tag (this system's HMAC) and decrypts with OpenSSL (PKCS#7 checked in full).
bool openIndependently(const SecureBuffer& secret, const Bytes& sealed, const Bytes& tag,
                       Bytes& plaintext);

// A blocking IPv4 client for one connection to 127.0.0.1:port, from the loopback address
// `from` (any of 127.0.0.0/8).
class TestClient {
  public:
    // A positive `receiveBufferBytes` gives the connection that small a receive buffer.
    explicit TestClient(std::uint16_t port, std::uint32_t from = 0x7F000001,
                        int receiveBufferBytes = 0);
    ~TestClient();
    TestClient(const TestClient&) = delete;
    TestClient& operator=(const TestClient&) = delete;
    bool connected() const { return fd_ >= 0; }
    bool send(const Bytes& bytes);
    // Reads until a whole frame (by its length field) has arrived, the peer closes, or
    // `timeoutMs` passes without data. Returns everything received.
    Bytes readFrame(int timeoutMs = 5000);
    // Reads whatever arrives until the peer closes or `timeoutMs` passes without data.
    Bytes readUntilClosed(int timeoutMs = 5000, bool* closed = nullptr);
    void shutdownWrite();
    // True once bytes are waiting (nothing is read), false after `timeoutMs` without.
    bool waitForData(int timeoutMs);

  private:
    int fd_ = -1;
};

} // namespace kpv::test
