#include "tools/server/server.h"

#include "core/calendar_time.h"
#include "core/secure_buffer.h"
#include "tools/server/accounts_file.h"
#include "tools/server/request_frame.h"
#include "tools/server/status_reply.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <iostream>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <system_error>
#include <thread>
#include <vector>

namespace kpv::tools {

struct StatusServer::Worker {
    std::thread thread;
    std::atomic<bool> done{false};
};

namespace {

enum class Io { Ok, Closed, Stopped, TimedOut, Failed };

const char* ioText(Io io) {
    switch (io) {
    case Io::Ok:
        return "ok";
    case Io::Closed:
        return "closed by peer";
    case Io::Stopped:
        return "server stopping";
    case Io::TimedOut:
        return "timed out";
    case Io::Failed:
        return "socket error";
    }
    return "?";
}

using Clock = std::chrono::steady_clock;

int remainingMs(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left <= 0 ? 0 : static_cast<int>(left > 60000 ? 60000 : left);
}

// Waits until `fd` is ready for `events` (fd < 0: a plain pause), the stop pipe fires, or the
// deadline passes.
Io waitFor(int fd, short events, int stopFd, Clock::time_point deadline) {
    for (;;) {
        pollfd fds[2] = {{stopFd, POLLIN, 0}, {fd, events, 0}};
        const nfds_t count = fd < 0 ? 1 : 2;
        const int ready = ::poll(fds, count, remainingMs(deadline));
        if (ready < 0 && errno != EINTR)
            return Io::Failed;
        if (ready > 0 && (fds[0].revents & POLLIN) != 0)
            return Io::Stopped;
        if (ready > 0 && count == 2 && fds[1].revents != 0)
            return Io::Ok;
        if (Clock::now() >= deadline)
            return Io::TimedOut;
    }
}

// Reads exactly n bytes, each piece within the idle limit and all of them before `deadline`.
// `received` counts what arrived, so that a clean end between frames (nothing received) can be
// told from a frame cut short.
Io readExactly(int fd, int stopFd, std::uint32_t idleMs, Clock::time_point deadline,
               std::uint8_t* p, std::uint32_t n, std::uint32_t& received) {
    received = 0;
    while (received < n) {
        const Clock::time_point idleEnd = Clock::now() + std::chrono::milliseconds(idleMs);
        const Io ready = waitFor(fd, POLLIN, stopFd, idleEnd < deadline ? idleEnd : deadline);
        if (ready != Io::Ok)
            return ready;
        const ssize_t got = ::recv(fd, p + received, n - received, 0);
        if (got < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (got < 0)
            return Io::Failed;
        if (got == 0)
            return Io::Closed;
        received += static_cast<std::uint32_t>(got);
    }
    return Io::Ok;
}

// Sends all n bytes on a non-blocking socket, each piece within the idle limit and all of them
// before `deadline`: a client that asks and never reads cannot hold its worker.
Io sendAll(int fd, int stopFd, std::uint32_t idleMs, Clock::time_point deadline,
           const std::uint8_t* p, std::uint32_t n) {
    std::uint32_t sent = 0;
    while (sent < n) {
        const Clock::time_point idleEnd = Clock::now() + std::chrono::milliseconds(idleMs);
        const Io ready = waitFor(fd, POLLOUT, stopFd, idleEnd < deadline ? idleEnd : deadline);
        if (ready != Io::Ok)
            return ready;
        const ssize_t put = ::send(fd, p + sent, n - sent, MSG_NOSIGNAL);
        if (put < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK))
            continue;
        if (put <= 0)
            return Io::Failed;
        sent += static_cast<std::uint32_t>(put);
    }
    return Io::Ok;
}

// False when the server is stopping.
bool pause(int stopFd, std::uint32_t ms) {
    return waitFor(-1, 0, stopFd, Clock::now() + std::chrono::milliseconds(ms)) != Io::Stopped;
}

// The no-answer fault: swallow whatever comes until the client gives up.
Io waitForClose(int fd, int stopFd, std::uint32_t idleMs) {
    std::uint8_t sink[512];
    for (;;) {
        const Io ready =
            waitFor(fd, POLLIN, stopFd, Clock::now() + std::chrono::milliseconds(idleMs));
        if (ready != Io::Ok)
            return ready;
        const ssize_t got = ::recv(fd, sink, sizeof sink, 0);
        if (got < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (got <= 0)
            return got == 0 ? Io::Closed : Io::Failed;
    }
}

std::string peerName(const sockaddr_in& address) {
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &address.sin_addr, text, sizeof text);
    return std::string(text) + ':' + std::to_string(ntohs(address.sin_port));
}

std::string idList(const std::vector<std::uint32_t>& ids) {
    std::string text;
    for (const std::uint32_t id : ids)
        text += (text.empty() ? "" : ",") + std::to_string(id);
    return text;
}

} // namespace

StatusServer::StatusServer(ServerConfig config) : config_(std::move(config)) {}

StatusServer::~StatusServer() {
    stop();
    reapWorkers(true);
}

bool StatusServer::open(std::string& error) {
    int pipeEnds[2];
    if (::pipe2(pipeEnds, O_CLOEXEC | O_NONBLOCK) != 0) {
        error = std::string("pipe: ") + std::strerror(errno);
        return false;
    }
    stopRead_ = UniqueNativeHandle(pipeEnds[0]);
    stopWrite_ = UniqueNativeHandle(pipeEnds[1]);

    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(config_.port);
    if (::inet_pton(AF_INET, config_.address.c_str(), &address.sin_addr) != 1) {
        error = "not an IPv4 address: " + config_.address;
        return false;
    }
    UniqueNativeHandle listener(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    const int yes = 1;
    // Accepted connections inherit the buffer size, and with it the window they offer.
    const int unreadBuffer = NEVER_READ_BUFFER_BYTES;
    if (!listener.valid() ||
        ::setsockopt(listener.get(), SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes) != 0 ||
        (config_.neverRead && ::setsockopt(listener.get(), SOL_SOCKET, SO_RCVBUF, &unreadBuffer,
                                           sizeof unreadBuffer) != 0) ||
        ::bind(listener.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener.get(), 16) != 0) {
        error = config_.address + ':' + std::to_string(config_.port) + ": " + std::strerror(errno);
        return false;
    }
    sockaddr_in bound{};
    socklen_t boundLength = sizeof bound;
    if (::getsockname(listener.get(), reinterpret_cast<sockaddr*>(&bound), &boundLength) != 0) {
        error = std::string("getsockname: ") + std::strerror(errno);
        return false;
    }
    boundPort_ = ntohs(bound.sin_port);
    listen_ = std::move(listener);
    return true;
}

void StatusServer::stop() noexcept {
    if (stopWrite_.valid()) {
        const char byte = 1;
        // A full pipe already wakes everyone; nothing to do if this write fails.
        [[maybe_unused]] const ssize_t ignored = ::write(stopWrite_.get(), &byte, 1);
    }
}

void StatusServer::run() {
    std::uint64_t connections = 0;
    while (listen_.valid()) {
        const Io ready = waitFor(listen_.get(), POLLIN, stopRead_.get(),
                                 Clock::now() + std::chrono::seconds(60));
        if (ready == Io::Stopped || ready == Io::Failed)
            break;
        if (ready == Io::TimedOut)
            continue;
        sockaddr_in peer{};
        socklen_t peerLength = sizeof peer;
        // Non-blocking: every wait of a connection goes through poll with the stop pipe.
        UniqueNativeHandle socket(::accept4(listen_.get(), reinterpret_cast<sockaddr*>(&peer),
                                            &peerLength, SOCK_CLOEXEC | SOCK_NONBLOCK));
        if (!socket.valid()) {
            // Out of descriptors, for instance: wait a little instead of spinning on poll.
            if (!pause(stopRead_.get(), 50))
                break;
            continue;
        }
        reapWorkers(false);
        const std::string name = '#' + std::to_string(++connections) + ' ' + peerName(peer);
        if (workers_.size() >= config_.maxConnections) {
            logLine(name + ": refused, " + std::to_string(workers_.size()) + " connections open");
            continue;
        }
        // One address cannot take every slot: the others stay free for everyone else.
        const std::uint32_t from = ntohl(peer.sin_addr.s_addr);
        if (!admit(from)) {
            logLine(name + ": refused, " + std::to_string(config_.maxPerAddress) +
                    " connections open from this address");
            continue;
        }
        auto worker = std::make_unique<Worker>();
        Worker* self = worker.get();
        try {
            self->thread = std::thread([this, self, name, from, s = std::move(socket)]() mutable {
                try {
                    serve(std::move(s), name);
                } catch (...) {
                    // Memory exhaustion inside one connection ends that connection only.
                    logLine(name + ": internal error, connection dropped");
                }
                leave(from);
                self->done = true;
            });
        } catch (const std::system_error&) {
            leave(from);
            logLine(name + ": no thread for it, connection dropped");
            continue;
        }
        workers_.push_back(std::move(worker));
    }
    reapWorkers(true);
}

bool StatusServer::admit(std::uint32_t address) {
    const std::lock_guard<std::mutex> lock(perAddressMutex_);
    std::uint32_t& open = perAddress_[address];
    if (open >= config_.maxPerAddress) {
        if (open == 0)
            perAddress_.erase(address);
        return false;
    }
    ++open;
    return true;
}

void StatusServer::leave(std::uint32_t address) {
    const std::lock_guard<std::mutex> lock(perAddressMutex_);
    const auto it = perAddress_.find(address);
    if (it != perAddress_.end() && --it->second == 0)
        perAddress_.erase(it);
}

void StatusServer::reapWorkers(bool all) {
    for (auto it = workers_.begin(); it != workers_.end();) {
        if (all || (*it)->done) {
            if ((*it)->thread.joinable())
                (*it)->thread.join();
            it = workers_.erase(it);
        } else {
            ++it;
        }
    }
}

void StatusServer::logLine(const std::string& text) {
    if (!config_.log)
        return;
    CalendarTime local;
    ShortText stamp;
    if (localCalendarTime(static_cast<std::uint32_t>(std::time(nullptr)), local))
        stamp = isoSecondText(local);
    const std::lock_guard<std::mutex> lock(logMutex_);
    std::cerr << stamp.c_str() << ' ' << text << std::endl;
}

void StatusServer::serve(UniqueNativeHandle socket, const std::string& peer) {
    const int fd = socket.get();
    const int stopFd = stopRead_.get();
    const std::uint32_t idle = config_.idleLimitMs;
    logLine(peer + ": connected");
    if (config_.neverRead) {
        // Only a reset, the idle limit or the stop ends it: nothing is read, so no close is seen.
        const Io io = waitFor(fd, 0, stopFd, Clock::now() + std::chrono::milliseconds(idle));
        logLine(peer + ": never read on purpose; " + ioText(io == Io::Ok ? Io::Closed : io));
        return;
    }
    for (;;) {
        // A request trickled in byte by byte must not hold a connection slot for long.
        const Clock::time_point deadline =
            Clock::now() + std::chrono::milliseconds(config_.requestLimitMs);
        std::uint8_t header[FRAME_HEADER_SIZE];
        std::uint32_t received = 0;
        Io io = readExactly(fd, stopFd, idle, deadline, header, FRAME_HEADER_SIZE, received);
        if (io != Io::Ok) {
            logLine(peer + (received != 0 ? std::string(": ended inside a header, ") + ioText(io)
                            : io == Io::Closed ? std::string(": closed")
                                               : std::string(": no request, ") + ioText(io)));
            return;
        }
        FrameHeader parsed;
        const HeaderVerdict verdict = checkRequestHeader(header, parsed);
        if (verdict != HeaderVerdict::Ok) {
            logLine(peer + ": malformed request (" + verdictText(verdict) + "), closing");
            return;
        }
        // The header bounds the length, so this allocation is at most MAX_REQUEST_SIZE.
        SecureBuffer frame = SecureBuffer::zeros(parsed.length);
        std::memcpy(frame.data(), header, FRAME_HEADER_SIZE);
        io = readExactly(fd, stopFd, idle, deadline, frame.data() + FRAME_HEADER_SIZE,
                         parsed.length - FRAME_HEADER_SIZE, received);
        if (io != Io::Ok) {
            logLine(peer + ": request cut short (" + ioText(io) + ")");
            return;
        }
        std::vector<std::uint32_t> ids;
        if (!parseStatusRequest(frame, ids)) {
            logLine(peer + ": malformed request body, closing");
            return;
        }

        AccountDirectory accounts;
        std::string error;
        if (!loadAccountsFile(config_.accountsPath, static_cast<std::uint64_t>(std::time(nullptr)),
                              accounts, error))
            logLine(peer + ": " + error + "; answering as if no account were known");
        const StatusReply reply = buildStatusReply(ids, accounts, config_.faults);
        const FaultSet faults = reply.faults;
        logLine(peer + ": request for " + std::to_string(ids.size()) + " account(s) [" +
                idList(ids) + "] -> " + reply.summary + "; " +
                std::to_string(reply.frame.length()) + " bytes; faults " + faults.describe());

        if (faults.has(Fault::NoAnswer)) {
            io = waitForClose(fd, stopFd, idle);
            logLine(peer + ": not answered on purpose; " + ioText(io));
            return;
        }
        if (faults.has(Fault::Slow) && !pause(stopFd, config_.delayMs))
            return;

        SecureBuffer out = reply.frame;
        if (faults.has(Fault::TrailingByte))
            out.appendZeros(1);
        const bool truncate = faults.has(Fault::Truncate);
        if (truncate)
            out.resize(out.length() / 2 > 0 ? out.length() / 2 : 1);
        const std::uint32_t piece = faults.has(Fault::Chunked) && config_.chunkBytes > 0
                                        ? config_.chunkBytes
                                        : out.length();
        for (std::uint32_t at = 0; io == Io::Ok && at < out.length(); at += piece) {
            if (at > 0 && !pause(stopFd, config_.chunkPauseMs))
                return;
            const std::uint32_t n = out.length() - at < piece ? out.length() - at : piece;
            // The chunked fault's own pauses do not count against the client.
            const Clock::time_point pieceEnd =
                Clock::now() + std::chrono::milliseconds(config_.replyLimitMs);
            io = sendAll(fd, stopFd, idle, pieceEnd, out.data() + at, n);
        }
        if (io != Io::Ok) {
            logLine(peer + ": reply not sent (" + std::string(ioText(io)) + ")");
            return;
        }
        ++answered_;
        if (truncate) {
            logLine(peer + ": sent " + std::to_string(out.length()) + " bytes, closing early");
            return;
        }
    }
}

} // namespace kpv::tools
