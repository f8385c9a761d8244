// Runs whole exchanges against a scripted fake server: the input says what arrives (bytes in
// pieces of any size, frame headers with any length, megabytes of filler), when the server is
// silent, closes, fails or reports an exception, and how the action and the sending side
// behave. Time is virtual, so the real 2 s, 90 s and 600 s waits cost nothing. The exchange
// must never hold more than MAX_REPLY_SIZE bytes, never stay silent past its idle limit, hand
// the action only whole frames, and end with the socket closed, nothing received kept, the
// action destroyed and every released block wiped.
#include "core/clock.h"
#include "core/secure_memory.h"
#include "net/exchange_timing.h"
#include "net/frame.h"
#include "net/server_connection.h"
#include "net/socket_layer.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

namespace {

using namespace kpv;

void require(bool condition) {
    if (!condition)
        __builtin_trap();
}

void checkWiped(const unsigned char* block, std::size_t size) {
    static const unsigned char zeros[65536] = {};
    for (std::size_t at = 0; at < size; at += sizeof zeros) {
        const std::size_t n = size - at < sizeof zeros ? size - at : sizeof zeros;
        require(std::memcmp(block + at, zeros, n) == 0);
    }
}

class Input {
  public:
    Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool exhausted() const { return at_ >= size_; }
    std::uint8_t next() { return at_ < size_ ? data_[at_++] : 0; }
    // Up to n bytes in place; `taken` says how many there were.
    const std::uint8_t* take(std::size_t n, std::size_t& taken) {
        const std::size_t left = size_ - (at_ < size_ ? at_ : size_);
        taken = n < left ? n : left;
        const std::uint8_t* bytes = data_ + (at_ < size_ ? at_ : size_);
        at_ += taken;
        return bytes;
    }

  private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

constexpr std::uint32_t MAX_SILENCE =
    LONG_IDLE_LIMIT_SECONDS * 1000 + 2 * READINESS_WAIT_MILLISECONDS;

// The fake server and the virtual clock in one, so that silence moves time.
class FakeNetwork final : public SocketLayer, public Clock {
  public:
    FakeNetwork(Input& input, std::uint32_t sendCap, bool failFirstConnect)
        : input_(input), sendCap_(sendCap), failConnect_(failFirstConnect) {}

    const ServerConnection* connection = nullptr;
    int openSockets = 0;

    // Clock
    std::int64_t now() override { return static_cast<std::int64_t>(now_ / 1000); }
    std::uint64_t milliseconds() override { return now_; }
    void sleepMilliseconds(std::uint32_t milliseconds) override { now_ += milliseconds; }

    // SocketLayer
    bool startup() override { return true; }
    void cleanup() override {}
    SocketHandle openStream() override {
        ++openSockets;
        return ++lastHandle_;
    }
    void close(SocketHandle socket) override {
        require(socket != INVALID_SOCKET_HANDLE && openSockets > 0);
        --openSockets;
    }
    std::int32_t resolve(const char*, std::uint32_t&) override {
        __builtin_trap(); // the address is fixed
    }
    bool connect(SocketHandle socket, std::uint32_t, std::uint16_t) override {
        require(socket == lastHandle_);
        heard();
        dataLeft_ = 0;
        fillerLeft_ = 0;
        silenceLeft_ = 0;
        ending_ = Ending::None;
        if (failConnect_) {
            failConnect_ = false;
            return false;
        }
        return true;
    }

    Readiness waitReadable(SocketHandle socket, std::uint32_t milliseconds) override {
        require(socket == lastHandle_);
        require(++calls_ < 50000000);
        if (dataLeft_ == 0 && fillerLeft_ == 0 && ending_ == Ending::None && silenceLeft_ == 0)
            readEvent();
        if (ending_ == Ending::SelectError) {
            ending_ = Ending::None;
            return Readiness::Failed;
        }
        if (ending_ == Ending::Exception) {
            ending_ = Ending::None;
            return Readiness::Exception;
        }
        if (dataLeft_ != 0 || fillerLeft_ != 0 || ending_ != Ending::None) {
            heard();
            return Readiness::Readable;
        }
        // Silence, either asked for or because the script has ended.
        const std::uint32_t spent =
            silenceLeft_ != 0 && silenceLeft_ < milliseconds ? silenceLeft_ : milliseconds;
        silenceLeft_ -= silenceLeft_ < spent ? silenceLeft_ : spent;
        now_ += spent;
        require(now_ - lastHeard_ <= MAX_SILENCE);
        return Readiness::TimedOut;
    }

    std::int32_t receive(SocketHandle socket, std::uint8_t* into, std::uint32_t n) override {
        require(socket == lastHandle_ && n > 0 && n <= RECEIVE_CHUNK);
        require(connection->incoming().length() + std::uint64_t(n) <= MAX_REPLY_SIZE);
        if (dataLeft_ != 0) {
            const std::uint32_t count = dataLeft_ < n ? dataLeft_ : n;
            std::memcpy(into, data_, count);
            data_ += count;
            dataLeft_ -= count;
            return static_cast<std::int32_t>(count);
        }
        if (fillerLeft_ != 0) {
            const std::uint32_t count = fillerLeft_ < n ? fillerLeft_ : n;
            std::memset(into, 0x41, count);
            fillerLeft_ -= count;
            return static_cast<std::int32_t>(count);
        }
        const Ending ending = ending_;
        ending_ = Ending::None;
        return ending == Ending::ReceiveError ? -1 : 0;
    }

    std::int32_t send(SocketHandle socket, const std::uint8_t*, std::uint32_t n) override {
        require(socket == lastHandle_ && n > 0);
        heard();
        return static_cast<std::int32_t>(n < sendCap_ ? n : sendCap_);
    }

    std::int32_t lastError() override { return 10054; }

  private:
    enum class Ending { None, Close, ReceiveError, SelectError, Exception };

    void heard() { lastHeard_ = now_; }

    void readEvent() {
        if (input_.exhausted())
            return;
        const std::uint8_t op = input_.next();
        std::size_t taken = 0;
        switch (op % 8) {
        case 0:
        case 1:
            data_ = input_.take(std::size_t(input_.next()) + 1, taken);
            dataLeft_ = static_cast<std::uint32_t>(taken);
            break;
        case 2: { // a header announcing any length
            header_[0] = 'C', header_[1] = 'H', header_[2] = 'K', header_[3] = 0;
            for (int i = 4; i < 8; ++i)
                header_[i] = input_.next();
            header_[8] = (input_.next() & 1) != 0 ? MSG_STATUS_REPLY : MSG_STATUS_REQUEST;
            for (int i = 9; i < 14; ++i)
                header_[i] = 0;
            data_ = header_;
            dataLeft_ = sizeof header_;
            break;
        }
        case 3: { // filler: mostly a few KiB; now and then enough to pass the size limit
            const std::uint32_t n = input_.next();
            fillerLeft_ = n < 0xFC ? (n + 1) * 1024 : (n - 0xFB) * (32u << 20);
            break;
        }
        case 4:
            silenceLeft_ = (std::uint32_t(input_.next()) | std::uint32_t(input_.next()) << 8) * 100;
            break;
        case 5:
            ending_ = Ending::Close;
            break;
        case 6:
            ending_ = Ending::ReceiveError;
            break;
        default:
            ending_ = (input_.next() & 1) != 0 ? Ending::SelectError : Ending::Exception;
            break;
        }
    }

    Input& input_;
    std::uint32_t sendCap_;
    bool failConnect_;
    std::uint64_t now_ = 1000;
    std::uint64_t lastHeard_ = 1000;
    SocketHandle lastHandle_ = 0;
    std::uint64_t calls_ = 0;
    const std::uint8_t* data_ = nullptr;
    std::uint32_t dataLeft_ = 0;
    std::uint32_t fillerLeft_ = 0;
    std::uint32_t silenceLeft_ = 0;
    Ending ending_ = Ending::None;
    std::uint8_t header_[14] = {};
};

RecordStream request() {
    RecordStream frame;
    beginFrame(frame);
    writeMessageType(frame, MSG_STATUS_REQUEST);
    writeHeaderParam2(frame, 1);
    frame.appendU16(1);
    RecordStream ids;
    ids.appendU32(258);
    frame.appendBlob(ids.contents);
    writeFrameLength(frame);
    return frame;
}

struct Outcome {
    bool destroyed = false;
    int failures = 0;
    int completions = 0;
};

class FuzzAction final : public SendAction {
  public:
    FuzzAction(Outcome& outcome, int retries, int continues, bool fillNext, bool askLongIdle)
        : outcome_(outcome), retries_(retries), continues_(continues), fillNext_(fillNext),
          askLongIdle_(askLongIdle) {}
    ~FuzzAction() override { outcome_.destroyed = true; }

    bool handleReply(RecordStream& reply, RecordStream& next, std::uint8_t& longIdle) override {
        require(isCompleteFrame(reply.contents) && reply.cursor == FRAME_HEADER_SIZE);
        require(longIdle == 0 && next.contents.empty());
        if (continues_ == 0)
            return false;
        --continues_;
        if (fillNext_)
            next = request();
        if (askLongIdle_)
            longIdle = 1;
        return true;
    }
    bool prepareRetry(RecordStream& outgoing) override {
        if (retries_ == 0)
            return false;
        --retries_;
        outgoing = request();
        return true;
    }
    void onCompleted() override { ++outcome_.completions; }
    void onFailed(std::int32_t stage, std::int32_t) override {
        require(stage >= StageConnect && stage <= StageProtocol);
        ++outcome_.failures;
    }

  private:
    Outcome& outcome_;
    int retries_;
    int continues_;
    bool fillNext_;
    bool askLongIdle_;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Input input(data, size);
    const std::uint8_t sending = input.next();
    const std::uint8_t acting = input.next();
    const std::uint32_t sendCap = (sending & 0x0F) == 0 ? 0xFFFFFFFFu : sending & 0x0Fu;

    setReleaseObserver(checkWiped);
    {
        FakeNetwork network(input, sendCap, (sending & 0x80) != 0);
        ServerAddress address;
        address.address = 0x7F000001;
        address.port = DEFAULT_SERVER_PORT;
        bool startupFailed = true;
        ServerConnection connection(address, startupFailed, network, network);
        network.connection = &connection;
        require(!startupFailed);

        Outcome outcome;
        std::unique_ptr<SendAction> action = std::make_unique<FuzzAction>(
            outcome, (sending >> 4) & 3, acting & 3, (acting & 4) != 0, (sending & 0x40) != 0);
        require(connection.queueAction(action, request()));
        const bool completed = connection.runExchange();

        require(outcome.destroyed && !connection.hasAction());
        require(completed == (outcome.completions == 1));
        require(outcome.completions + outcome.failures >= 1);
        require(network.openSockets == 0 && !connection.socketOpen());
        require(connection.incoming().contents.empty() && connection.outgoing().contents.empty());
    }
    setReleaseObserver(nullptr);
    return 0;
}
