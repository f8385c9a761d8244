// Runs whole exchanges against the tests' scripted network: the input says what arrives (bytes
// in pieces of any size, frame headers with any length, megabytes of filler), when the server is
// silent, closes, fails or reports an exception, and how the action and the sending side
// behave. Time is virtual, so the real 2 s, 90 s and 600 s waits cost nothing. The exchange
// must never hold more than MAX_REPLY_SIZE bytes, never stay silent past its idle limit, hand
// the action only whole frames, and end with the socket closed, nothing received kept, the
// action destroyed and every released block wiped.
#include "net/exchange_timing.h"
#include "net/frame.h"
#include "net/server_connection.h"
#include "net/socket_layer.h"
#include "tests/net/scripted_network.h"
#include "tests/support/secure_heap_watch.h"

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

// Reads the server's next move from the input, as the scripted network asks for one.
void addStep(Input& input, test::ScriptedNetwork& network) {
    if (input.exhausted())
        return; // silence for ever
    const std::uint8_t op = input.next();
    std::size_t taken = 0;
    test::NetworkStep step{test::NetworkStep::Data, {}, 0};
    switch (op % 8) {
    case 0:
    case 1: {
        const std::uint8_t* bytes = input.take(std::size_t(input.next()) + 1, taken);
        step.bytes.assign(bytes, bytes + taken);
        break;
    }
    case 2: { // a header announcing any length
        step.bytes = {'C', 'H', 'K', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
        for (int i = 4; i < 8; ++i)
            step.bytes[std::size_t(i)] = input.next();
        step.bytes[8] = (input.next() & 1) != 0 ? MSG_STATUS_REPLY : MSG_STATUS_REQUEST;
        break;
    }
    case 3: { // filler: mostly a few KiB; now and then enough to pass the size limit
        const std::uint32_t n = input.next();
        step.kind = test::NetworkStep::Filler;
        step.value = n < 0xFC ? (n + 1) * 1024 : (n - 0xFB) * (32u << 20);
        break;
    }
    case 4:
        step.kind = test::NetworkStep::Silence;
        step.value = (std::uint32_t(input.next()) | std::uint32_t(input.next()) << 8) * 100;
        break;
    case 5:
        step.kind = test::NetworkStep::Close;
        break;
    case 6:
        step.kind = test::NetworkStep::ReceiveError;
        step.value = 10054;
        break;
    default:
        step.kind =
            (input.next() & 1) != 0 ? test::NetworkStep::SelectError : test::NetworkStep::Exception;
        step.value = 10054;
        break;
    }
    if (step.kind != test::NetworkStep::Data || !step.bytes.empty())
        network.steps.push_back(std::move(step));
}

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

    test::watchReleases(checkWiped);
    {
        test::ScriptedNetwork network;
        network.sendLimit = sendCap;
        if ((sending & 0x80) != 0)
            network.connectResults.push_back(false);
        if ((sending & 0x40) != 0)
            network.readCapacity = sending & 0x30u; // a server that stops reading

        network.whenOutOfSteps = [&] {
            require(network.waits < 50000000);
            addStep(input, network);
        };
        ServerAddress address;
        address.address = 0x7F000001;
        address.port = DEFAULT_SERVER_PORT;
        bool startupFailed = true;
        ServerConnection connection(address, startupFailed, network, network);
        network.beforeReceive = [&](std::uint32_t n) {
            require(n > 0 && n <= RECEIVE_CHUNK);
            require(connection.incoming().length() + std::uint64_t(n) <= MAX_REPLY_SIZE);
        };
        require(!startupFailed);

        Outcome outcome;
        std::unique_ptr<SendAction> action = std::make_unique<FuzzAction>(
            outcome, (sending >> 4) & 3, acting & 3, (acting & 4) != 0, (sending & 0x40) != 0);
        require(connection.queueAction(action, request()));
        const bool completed = connection.runExchange();

        require(outcome.destroyed && !connection.hasAction());
        require(completed == (outcome.completions == 1));
        require(outcome.completions + outcome.failures >= 1);
        require(network.openSockets == 0 && !connection.socketOpen() && !network.misused);
        require(network.longestSilence <= MAX_SILENCE);
        require(connection.incoming().contents.empty() && connection.outgoing().contents.empty());
    }
    test::watchReleases(nullptr);
    return 0;
}
