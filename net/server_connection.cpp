#include "net/server_connection.h"

#include "net/address_cache.h"
#include "net/frame.h"

#include <utility>

namespace kpv {
namespace {

// Bounded so that every count fits the platforms' int-sized lengths.
constexpr std::uint32_t SEND_LIMIT = 1u << 30;

void clearStream(RecordStream& stream) noexcept {
    stream = RecordStream{};
}

// True once the header is in and announces a length that the bytes can never come to: more
// than a reply may hold, less than a header, or less than what has already arrived (frames
// end exactly at their length). A reserved byte other than 0 can never complete either.
bool cannotComplete(const SecureBuffer& incoming) {
    if (incoming.length() < FRAME_HEADER_SIZE)
        return false;
    const std::uint32_t announced = frameAnnouncedLength(incoming);
    return announced > MAX_REPLY_SIZE || announced < FRAME_HEADER_SIZE ||
           announced < incoming.length() || incoming.data()[3] != 0;
}

} // namespace

// Whatever way an exchange ends (including an exception from a callback), the socket is
// closed, nothing received or unsent lingers, and the slot is free for the next action.
class ServerConnection::ExchangeEnd {
  public:
    explicit ExchangeEnd(ServerConnection& connection) : connection_(connection) {
        connection_.exchanging_ = true;
    }
    ExchangeEnd(const ExchangeEnd&) = delete;
    ExchangeEnd& operator=(const ExchangeEnd&) = delete;
    ~ExchangeEnd() {
        connection_.socket_.close();
        clearStream(connection_.incoming_);
        clearStream(connection_.outgoing_);
        connection_.releaseAction();
        connection_.exchanging_ = false;
    }

  private:
    ServerConnection& connection_;
};

ServerConnection::ServerConnection(const ServerAddress& address, bool& startupFailed,
                                   SocketLayer& sockets, Clock& clock, const ExchangeTiming& timing)
    : sockets_(sockets), clock_(clock), timing_(timing), address_(address.address),
      port_(address.port), hostName_(address.hostName) {
    socketsStarted_ = sockets_.startup();
    startupFailed = !socketsStarted_;
}

ServerConnection::~ServerConnection() {
    releaseAction();
    socket_.close();
    if (socketsStarted_)
        sockets_.cleanup();
}

bool ServerConnection::queueAction(std::unique_ptr<SendAction>& action,
                                   const RecordStream& request) {
    if (action == nullptr || !isCompleteFrame(request.contents) || action_ != nullptr)
        return false;
    outgoing_ = request;
    longIdle_ = 0;
    firstRetry_ = 1;
    action_ = std::move(action);
    return true;
}

bool ServerConnection::runExchange() {
    if (action_ == nullptr || exchanging_)
        return false;
    ExchangeEnd end(*this);
    deadline_ = clock_.milliseconds() + timing_.exchangeLimitMilliseconds;
    if (!connectToServer(false))
        return false;
    bool broken = false;
    if (!sendPending(broken)) {
        if (broken)
            reportFailure(static_cast<ExchangeStage>(stage_), lastError_); // never retried
        return false;
    }
    for (;;) {
        if (receiveReply(broken)) {
            if (!dispatchReply()) {
                socket_.close();
                action_->onCompleted();
                return true;
            }
        } else if (!broken || !reconnect()) {
            return false;
        }
        // On a new connection this sends what prepareRetry left in outgoing.
        while (!sendPending(broken)) {
            if (!broken || !reconnect())
                return false;
        }
    }
}

bool ServerConnection::connectToServer(bool quiet) {
    if (!socketsStarted_ || !socket_.open(sockets_)) {
        reportFailure(StageSocketCreate, 0);
        return false;
    }
    std::uint32_t address = address_;
    if (address == 0 && !resolveServer(quiet, address))
        return false;
    // The configured port always; the resolver's port is never used.
    if (sockets_.connect(socket_.handle(), address, port_, timeLeft()))
        return true;
    const std::int32_t error = sockets_.lastError();
    socket_.close();
    if (pastDeadline()) {
        // A connect that used up the exchange's time ends it like any other wait at the limit
        // (reconnect() tells the action itself).
        bool broken = false;
        return quiet ? false : endAtDeadline(broken);
    }
    if (!quiet)
        reportFailure(StageConnect, error);
    return false;
}

bool ServerConnection::resolveServer(bool quiet, std::uint32_t& address) {
    std::int32_t error = 0;
    {
        // The resolver sees a copy that is wiped as soon as it is done.
        SecureBuffer name;
        const std::uint32_t length = hostName_.length();
        if (length != 0 && hostName_.data()[length - 1] == 0)
            name = hostName_;
        error = sockets_.resolve(name.empty() ? nullptr : name.text(), address);
    }
    if (error == 0) {
        // The cache only helps when the resolver fails later: a cache that cannot be written
        // (a full disk) must not keep the client from its server. Unchanged, it is not
        // rewritten at all.
        std::uint32_t cached = 0;
        if (!loadCachedAddress(cached) || cached != address)
            saveCachedAddress(address);
        return true;
    }
    if (loadCachedAddress(address)) {
        action_->onCachedAddress(0);
        return true;
    }
    socket_.close();
    if (!quiet)
        reportFailure(StageConnect, error);
    return false;
}

bool ServerConnection::reconnect() {
    socket_.close();
    clearStream(incoming_);
    for (;;) {
        // Past the total limit the action is not asked again: the exchange ends as timed out.
        const bool late = pastDeadline();
        if (late) {
            stage_ = StageIdleTimeout;
            lastError_ = 0;
        }
        if (late || !action_->prepareRetry(outgoing_)) {
            action_->onFailed(stage_, lastError_);
            return false;
        }
        clock_.sleepMilliseconds(firstRetry_ != 0 ? timing_.firstRetryDelayMilliseconds
                                                  : timing_.retryDelayMilliseconds);
        firstRetry_ = 0;
        if (connectToServer(true))
            return true;
        socket_.close();
    }
}

bool ServerConnection::receiveReply(bool& broken) {
    SecureBuffer scratch = SecureBuffer::zeros(RECEIVE_CHUNK);
    std::uint64_t last = clock_.milliseconds();
    for (;;) {
        if (isCompleteFrame(incoming_.contents)) {
            firstRetry_ = 1;
            return true;
        }
        if (pastDeadline())
            return endAtDeadline(broken);
        switch (sockets_.waitReadable(socket_.handle(), timing_.readinessWaitMilliseconds)) {
        case Readiness::Failed:
            return breakOff(broken, StageSelect, sockets_.lastError());
        case Readiness::TimedOut: {
            const std::uint64_t limit =
                longIdle_ != 0 ? timing_.longIdleLimitMilliseconds : timing_.idleLimitMilliseconds;
            const std::uint64_t now = clock_.milliseconds();
            if (now > last && now - last > limit)
                return breakOff(broken, StageIdleTimeout, 0);
            continue;
        }
        case Readiness::Exception:
            return breakOff(broken, StageSocketException, 0);
        case Readiness::Readable:
        case Readiness::Writable:
            break;
        }
        // Never more than the limit is held: a buffer full to the limit without a frame fails
        // below instead of taking one more byte.
        const std::uint32_t room = MAX_REPLY_SIZE - incoming_.length();
        const std::int32_t received = sockets_.receive(socket_.handle(), scratch.data(),
                                                       room < RECEIVE_CHUNK ? room : RECEIVE_CHUNK);
        last = clock_.milliseconds();
        if (received < 0)
            return breakOff(broken, StageReceive, sockets_.lastError());
        if (received == 0)
            return breakOff(broken, StageClosed, 0);
        const auto count = static_cast<std::uint32_t>(received);
        if (count > room)
            return breakOff(broken, StageReceive, 0);
        incoming_.appendBytes(scratch.data(), count);
        // A header that no amount of waiting can complete (more than the limit, less than a
        // header or less than what is already in) is refused as soon as it is in, not after
        // 100 MiB or the idle limit. Nothing is reserved from what a header announces.
        if (!hasFramePrefix(incoming_.contents) || cannotComplete(incoming_.contents) ||
            (incoming_.length() >= MAX_REPLY_SIZE && !isCompleteFrame(incoming_.contents))) {
            broken = false;
            reportFailure(StageProtocol, 0);
            return false;
        }
    }
}

bool ServerConnection::sendPending(bool& broken) {
    // A server that takes nothing is as silent as one that sends nothing: the same idle limit
    // and the same total limit hold while the request waits for room.
    std::uint64_t last = clock_.milliseconds();
    while (!outgoing_.contents.empty()) {
        if (pastDeadline())
            return endAtDeadline(broken);
        const std::uint32_t pending = outgoing_.length();
        const std::uint32_t offered = pending < SEND_LIMIT ? pending : SEND_LIMIT;
        const std::int32_t sent =
            sockets_.send(socket_.handle(), outgoing_.contents.data(), offered);
        if (sent < 0 || static_cast<std::uint32_t>(sent) > offered)
            return breakOff(broken, StageSend, sockets_.lastError());
        if (sent == 0) {
            const std::uint32_t wait = timeLeft();
            switch (
                sockets_.waitWritable(socket_.handle(), wait < timing_.readinessWaitMilliseconds
                                                            ? wait
                                                            : timing_.readinessWaitMilliseconds)) {
            case Readiness::Failed:
                return breakOff(broken, StageSelect, sockets_.lastError());
            case Readiness::Exception:
                return breakOff(broken, StageSocketException, 0);
            case Readiness::TimedOut: {
                const std::uint64_t now = clock_.milliseconds();
                if (now > last && now - last > timing_.idleLimitMilliseconds)
                    return breakOff(broken, StageIdleTimeout, 0);
                continue;
            }
            case Readiness::Readable:
            case Readiness::Writable:
                continue;
            }
            continue;
        }
        last = clock_.milliseconds();
        if (static_cast<std::uint32_t>(sent) == pending)
            clearStream(outgoing_);
        else
            outgoing_.contents.eraseFront(static_cast<std::uint32_t>(sent)); // wipes the tail
    }
    return true;
}

bool ServerConnection::dispatchReply() {
    // The frame moves rather than being copied: a reply may be 100 MiB.
    RecordStream reply(std::move(incoming_.contents));
    clearStream(incoming_);
    reply.cursor = reply.length() < FRAME_HEADER_SIZE ? reply.length() : FRAME_HEADER_SIZE;
    longIdle_ = 0;
    RecordStream next;
    if (!action_->handleReply(reply, next, longIdle_))
        return false;
    outgoing_ = std::move(next);
    return true;
}

void ServerConnection::releaseAction() noexcept {
    action_.reset();
}

bool ServerConnection::pastDeadline() {
    return clock_.milliseconds() > deadline_;
}

std::uint32_t ServerConnection::timeLeft() {
    const std::uint64_t now = clock_.milliseconds();
    const std::uint64_t left = now > deadline_ ? 0 : deadline_ - now;
    // One past the limit, so that a wait that uses all of it ends past the deadline.
    return left >= 0xFFFFFFFEu ? 0xFFFFFFFFu : static_cast<std::uint32_t>(left + 1);
}

bool ServerConnection::endAtDeadline(bool& broken) {
    broken = false;
    stage_ = StageIdleTimeout;
    lastError_ = 0;
    reportFailure(StageIdleTimeout, 0);
    return false;
}

bool ServerConnection::breakOff(bool& broken, ExchangeStage stage, std::int32_t error) {
    broken = true;
    stage_ = stage;
    lastError_ = error;
    return false;
}

void ServerConnection::reportFailure(ExchangeStage stage, std::int32_t error) {
    socket_.close();
    clearStream(incoming_);
    action_->onFailed(stage, error);
}

} // namespace kpv
