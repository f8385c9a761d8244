#include "tests/net/scripted_network.h"

#include <cstring>

namespace kpv::test {

NetworkStep data(const Bytes& bytes) {
    return {NetworkStep::Data, bytes, 0};
}

NetworkStep silence(std::uint32_t milliseconds) {
    return {NetworkStep::Silence, {}, milliseconds};
}

NetworkStep closed() {
    return {NetworkStep::Close, {}, 0};
}

NetworkStep filler(std::uint32_t count) {
    return {NetworkStep::Filler, {}, count};
}

bool ScriptedNetwork::startup() {
    ++startups;
    return !startupFails;
}

void ScriptedNetwork::sleepMilliseconds(std::uint32_t milliseconds) {
    sleeps.push_back(milliseconds);
    virtualMilliseconds += milliseconds;
}

SocketHandle ScriptedNetwork::openStream() {
    ++opens;
    const bool made = openResults.empty() || openResults.front();
    if (!openResults.empty())
        openResults.pop_front();
    if (!made)
        return INVALID_SOCKET_HANDLE;
    ++openSockets;
    return ++next_;
}

void ScriptedNetwork::close(SocketHandle socket) {
    use(socket);
    --openSockets;
}

std::int32_t ScriptedNetwork::resolve(const char* hostName, std::uint32_t& address) {
    ++resolves;
    const auto known = hostName == nullptr ? hosts.end() : hosts.find(hostName);
    if (known == hosts.end())
        return 11001; // Winsock's "host not found"
    address = known->second;
    return 0;
}

bool ScriptedNetwork::connect(SocketHandle socket, std::uint32_t address, std::uint16_t port,
                              std::uint32_t) {
    use(socket);
    heard();
    ++connects;
    connectedAddress = address;
    connectedPort = port;
    takenOnConnection_ = 0;
    const bool succeeds = connectResults.empty() ? connectsAfterResults : connectResults.front();
    if (!connectResults.empty())
        connectResults.pop_front();
    if (!succeeds)
        error_ = connectError;
    return succeeds;
}

Readiness ScriptedNetwork::waitReadable(SocketHandle socket, std::uint32_t milliseconds) {
    use(socket);
    ++waits;
    if (steps.empty() && whenOutOfSteps)
        whenOutOfSteps();
    Readiness result = Readiness::Readable;
    if (steps.empty()) {
        virtualMilliseconds += milliseconds;
        result = Readiness::TimedOut;
    } else {
        NetworkStep& step = steps.front();
        switch (step.kind) {
        case NetworkStep::Silence: {
            const std::uint32_t spent = step.value < milliseconds ? step.value : milliseconds;
            virtualMilliseconds += spent;
            step.value -= spent;
            if (step.value == 0)
                steps.pop_front();
            result = Readiness::TimedOut;
            break;
        }
        case NetworkStep::SelectError:
            error_ = static_cast<std::int32_t>(step.value);
            steps.pop_front();
            result = Readiness::Failed;
            break;
        case NetworkStep::Exception:
            steps.pop_front();
            result = Readiness::Exception;
            break;
        default:
            heard();
            break;
        }
    }
    const std::uint64_t silence = virtualMilliseconds - lastHeard_;
    longestSilence = silence > longestSilence ? silence : longestSilence;
    return result;
}

Readiness ScriptedNetwork::waitWritable(SocketHandle socket, std::uint32_t milliseconds) {
    use(socket);
    ++waits;
    if (takenOnConnection_ < readCapacity && sendLimit != 0)
        return Readiness::Writable;
    virtualMilliseconds += milliseconds;
    const std::uint64_t silence = virtualMilliseconds - lastHeard_;
    longestSilence = silence > longestSilence ? silence : longestSilence;
    return Readiness::TimedOut;
}

std::int32_t ScriptedNetwork::receive(SocketHandle socket, std::uint8_t* into, std::uint32_t n) {
    use(socket);
    if (beforeReceive)
        beforeReceive(n);
    NetworkStep& step = steps.front();
    if (step.kind == NetworkStep::Data || step.kind == NetworkStep::Filler) {
        const std::size_t left = step.kind == NetworkStep::Data ? step.bytes.size() : step.value;
        const auto count = static_cast<std::uint32_t>(left < n ? left : n);
        if (step.kind == NetworkStep::Data) {
            std::memcpy(into, step.bytes.data(), count);
            step.bytes.erase(step.bytes.begin(), step.bytes.begin() + count);
        } else {
            std::memset(into, 'A', count);
            step.value -= count;
        }
        if (count == left)
            steps.pop_front();
        return static_cast<std::int32_t>(count);
    }
    const bool failed = step.kind == NetworkStep::ReceiveError;
    error_ = static_cast<std::int32_t>(step.value);
    steps.pop_front();
    return failed ? -1 : 0;
}

std::int32_t ScriptedNetwork::send(SocketHandle socket, const std::uint8_t* bytes,
                                   std::uint32_t n) {
    use(socket);
    const std::int32_t failure = sendErrors.empty() ? 0 : sendErrors.front();
    if (!sendErrors.empty())
        sendErrors.pop_front();
    if (failure != 0) {
        heard();
        error_ = failure;
        return -1;
    }
    const std::uint64_t room = readCapacity - takenOnConnection_;
    std::uint32_t accepted = n < sendLimit ? n : sendLimit;
    accepted = accepted < room ? accepted : static_cast<std::uint32_t>(room);
    if (accepted == 0)
        return 0;
    heard();
    takenOnConnection_ += accepted;
    sent.emplace_back(bytes, bytes + accepted);
    return static_cast<std::int32_t>(accepted);
}

} // namespace kpv::test
