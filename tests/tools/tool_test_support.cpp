#include "tests/tools/tool_test_support.h"

#include "tests/support/hex.h"
#include "tools/common/sealer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <openssl/evp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>

namespace kpv::test {

Bytes hexBytes(const std::string& hex) {
    return bytesOf(fromHex(hex));
}

SecureBuffer bufferOf(const Bytes& b) {
    return SecureBuffer::ofBytes(b.data(), static_cast<std::uint32_t>(b.size()));
}

std::uint32_t u32At(const Bytes& b, std::size_t at) {
    if (at + 4 > b.size())
        return 0;
    return std::uint32_t(b[at]) | (std::uint32_t(b[at + 1]) << 8) |
           (std::uint32_t(b[at + 2]) << 16) | (std::uint32_t(b[at + 3]) << 24);
}

namespace {

bool takeBlob(const Bytes& b, std::size_t& at, std::size_t end, Bytes& out) {
    if (end - at < 4)
        return false;
    const std::uint32_t n = u32At(b, at);
    at += 4;
    if (n > end - at)
        return false;
    out.assign(b.begin() + static_cast<std::ptrdiff_t>(at),
               b.begin() + static_cast<std::ptrdiff_t>(at + n));
    at += n;
    return true;
}

} // namespace

bool splitReply(const Bytes& frame, std::size_t count, std::vector<ReplyEntry>& entries) {
    entries.clear();
    if (frame.size() < 18 || u32At(frame, 4) != frame.size())
        return false;
    std::size_t at = 14;
    Bytes list;
    if (!takeBlob(frame, at, frame.size(), list) || at != frame.size())
        return false;
    std::size_t pos = 0;
    for (std::size_t i = 0; i < count; ++i) {
        ReplyEntry e;
        if (!takeBlob(list, pos, list.size(), e.sealed) ||
            !takeBlob(list, pos, list.size(), e.tag) || list.size() - pos < 16)
            return false;
        e.diskSpaceHigh = u32At(list, pos);
        e.diskSpaceLow = u32At(list, pos + 4);
        e.storedCopies = u32At(list, pos + 8);
        e.copiesMade = u32At(list, pos + 12);
        pos += 16;
        entries.push_back(std::move(e));
    }
    return pos == list.size();
}

bool openIndependently(const SecureBuffer& secret, const Bytes& sealed, const Bytes& tag,
                       Bytes& plaintext) {
    SecureBuffer keys;
    if (!tools::deriveAccountKeys(secret, keys) || sealed.size() < 32 || sealed.size() % 16 != 0)
        return false;
    const SecureBuffer expected = tools::systemHmacSha256(keys.slice(32, 32), bufferOf(sealed));
    if (!expected.equals(bufferOf(tag)))
        return false;
    std::unique_ptr<EVP_CIPHER_CTX, void (*)(EVP_CIPHER_CTX*)> ctx(EVP_CIPHER_CTX_new(),
                                                                   EVP_CIPHER_CTX_free);
    plaintext.assign(sealed.size(), 0);
    int n = 0;
    int last = 0;
    if (EVP_DecryptInit_ex(ctx.get(), EVP_aes_256_cbc(), nullptr, keys.data(), sealed.data()) !=
            1 ||
        EVP_DecryptUpdate(ctx.get(), plaintext.data(), &n, sealed.data() + 16,
                          static_cast<int>(sealed.size() - 16)) != 1 ||
        EVP_DecryptFinal_ex(ctx.get(), plaintext.data() + n, &last) != 1)
        return false;
    plaintext.resize(static_cast<std::size_t>(n + last));
    return true;
}

TestClient::TestClient(std::uint16_t port, std::uint32_t from, int receiveBufferBytes) {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd_ >= 0 && receiveBufferBytes > 0)
        (void)::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &receiveBufferBytes,
                           sizeof receiveBufferBytes);
    sockaddr_in source{};
    source.sin_family = AF_INET;
    source.sin_addr.s_addr = htonl(from);
    if (fd_ >= 0 && from != INADDR_LOOPBACK &&
        ::bind(fd_, reinterpret_cast<const sockaddr*>(&source), sizeof source) != 0) {
        ::close(fd_);
        fd_ = -1;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd_ >= 0 &&
        ::connect(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

bool TestClient::waitForData(int timeoutMs) {
    pollfd p{fd_, POLLIN, 0};
    return fd_ >= 0 && ::poll(&p, 1, timeoutMs) > 0;
}

TestClient::~TestClient() {
    if (fd_ >= 0)
        ::close(fd_);
}

bool TestClient::send(const Bytes& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::send(fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

void TestClient::shutdownWrite() {
    ::shutdown(fd_, SHUT_WR);
}

Bytes TestClient::readFrame(int timeoutMs) {
    Bytes got;
    std::uint8_t chunk[4096];
    for (;;) {
        if (got.size() >= 8 && got.size() >= u32At(got, 4))
            return got;
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, timeoutMs) <= 0)
            return got;
        const ssize_t n = ::recv(fd_, chunk, sizeof chunk, 0);
        if (n <= 0)
            return got;
        got.insert(got.end(), chunk, chunk + n);
    }
}

Bytes TestClient::readUntilClosed(int timeoutMs, bool* closed) {
    Bytes got;
    std::uint8_t chunk[4096];
    if (closed != nullptr)
        *closed = false;
    for (;;) {
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, timeoutMs) <= 0)
            return got;
        const ssize_t n = ::recv(fd_, chunk, sizeof chunk, 0);
        if (n <= 0) {
            if (closed != nullptr)
                *closed = true;
            return got;
        }
        got.insert(got.end(), chunk, chunk + n);
    }
}

} // namespace kpv::test
