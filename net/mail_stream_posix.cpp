// The mail connection on other platforms: plain POSIX sockets with every wait bounded, so that
// the mail dialogue can be tried against a local server in native tests. These builds have no
// system TLS: implicit TLS and STARTTLS are refused.
#include "net/mail_stream.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "net/ip4_address.h" // after the socket headers
#include "net/line_buffer.h"

namespace kpv {
namespace {

#ifdef MSG_NOSIGNAL
constexpr int SEND_FLAGS = MSG_NOSIGNAL; // a closed peer must not raise SIGPIPE
#else
constexpr int SEND_FLAGS = 0;
#endif

const char* const NO_TLS = "TLS is not available on this platform";

std::string systemError(const char* what) {
    return std::string(what) + " (" + std::strerror(errno) + ")";
}

class PlainMailStream final : public MailStream {
  public:
    PlainMailStream() = default;
    PlainMailStream(const PlainMailStream&) = delete;
    PlainMailStream& operator=(const PlainMailStream&) = delete;
    ~PlainMailStream() override { close(); }

    bool open(const std::string& host, std::uint16_t port, bool implicitTls,
              std::uint32_t timeoutMilliseconds, std::string& error) override {
        close();
        if (implicitTls) {
            error = NO_TLS;
            return false;
        }
        timeout_ =
            timeoutMilliseconds > 0x7FFFFFFFu ? 0x7FFFFFFF : static_cast<int>(timeoutMilliseconds);
        std::uint32_t address = 0;
        bool found = false;
        if (host.empty() || ip4::lookUp(host.c_str(), address, found) != 0 || !found) {
            error = "The mail server's name could not be resolved";
            return false;
        }
        socket_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, IPPROTO_TCP);
        if (socket_ < 0) {
            error = systemError("No socket could be made");
            return false;
        }
        if (ip4::connect(socket_, address, port) != 0 && errno != EINPROGRESS) {
            error = systemError("Could not connect to the mail server");
            close();
            return false;
        }
        if (!wait(POLLOUT)) {
            error = "The mail server did not accept the connection in time";
            close();
            return false;
        }
        int problem = 0;
        socklen_t size = sizeof problem;
        if (::getsockopt(socket_, SOL_SOCKET, SO_ERROR, &problem, &size) != 0 || problem != 0) {
            errno = problem;
            error = systemError("Could not connect to the mail server");
            close();
            return false;
        }
        return true;
    }

    bool startTls(std::string& error) override {
        error = NO_TLS;
        return false;
    }

    bool write(const char* bytes, std::size_t size, std::string& error) override {
        while (size > 0) {
            if (socket_ < 0 || !wait(POLLOUT)) {
                error = "The mail server did not take the data in time";
                return false;
            }
            const ssize_t sent = ::send(socket_, bytes, size, SEND_FLAGS);
            if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
                continue;
            if (sent <= 0) {
                error = systemError("The connection to the mail server was broken");
                return false;
            }
            bytes += sent;
            size -= static_cast<std::size_t>(sent);
        }
        return true;
    }

    bool readLine(std::string& line, std::string& error) override {
        for (;;) {
            const LineBuffer::Take taken = lines_.take(line);
            if (taken == LineBuffer::Take::Line)
                return true;
            if (taken == LineBuffer::Take::TooLong) {
                error = "The mail server sent a line that is too long";
                return false;
            }
            if (socket_ < 0 || !wait(POLLIN)) {
                error = "The mail server did not answer in time";
                return false;
            }
            char piece[4096];
            const ssize_t got = ::recv(socket_, piece, sizeof piece, 0);
            if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
                continue;
            if (got == 0) {
                error = "The mail server closed the connection";
                return false;
            }
            if (got < 0) {
                error = systemError("The connection to the mail server was broken");
                return false;
            }
            lines_.append(piece, static_cast<std::uint32_t>(got));
        }
    }

  private:
    // Whether `events` came within the time-out.
    bool wait(short events) {
        pollfd watched{};
        watched.fd = socket_;
        watched.events = events;
        int ready = 0;
        do
            ready = ::poll(&watched, 1, timeout_);
        while (ready < 0 && errno == EINTR);
        return ready > 0;
    }

    void close() noexcept {
        if (socket_ >= 0)
            ::close(socket_);
        socket_ = -1;
        lines_.clear();
    }

    int socket_ = -1;
    int timeout_ = 0;
    LineBuffer lines_;
};

} // namespace

std::unique_ptr<MailStream> makeSystemMailStream() {
    return std::make_unique<PlainMailStream>();
}

} // namespace kpv
