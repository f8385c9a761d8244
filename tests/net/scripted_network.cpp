#include "tests/net/scripted_network.h"

#include <cstring>

namespace kpv::test {

void ScriptedNetwork::sleepMilliseconds(std::uint32_t milliseconds) {
    sleeps.push_back(milliseconds);
    virtualMilliseconds += milliseconds;
}

SocketHandle ScriptedNetwork::openStream() {
    const bool opens = openResults.empty() || openResults.front();
    if (!openResults.empty())
        openResults.pop_front();
    if (!opens)
        return INVALID_SOCKET_HANDLE;
    ++openSockets;
    return ++next_;
}

void ScriptedNetwork::close(SocketHandle) {
    --openSockets;
}

std::int32_t ScriptedNetwork::resolve(const char*, std::uint32_t&) {
    return 11001;
}

bool ScriptedNetwork::connect(SocketHandle, std::uint32_t, std::uint16_t) {
    const bool connects = connectResults.empty() || connectResults.front();
    if (!connectResults.empty())
        connectResults.pop_front();
    if (!connects)
        error_ = connectError;
    return connects;
}

Readiness ScriptedNetwork::waitReadable(SocketHandle, std::uint32_t milliseconds) {
    if (steps.empty()) {
        virtualMilliseconds += milliseconds;
        return Readiness::TimedOut;
    }
    NetworkStep& step = steps.front();
    switch (step.kind) {
    case NetworkStep::Silence: {
        const std::uint32_t spent = step.value < milliseconds ? step.value : milliseconds;
        virtualMilliseconds += spent;
        step.value -= spent;
        if (step.value == 0)
            steps.pop_front();
        return Readiness::TimedOut;
    }
    case NetworkStep::SelectError:
        error_ = static_cast<std::int32_t>(step.value);
        steps.pop_front();
        return Readiness::Failed;
    case NetworkStep::Exception:
        steps.pop_front();
        return Readiness::Exception;
    default:
        return Readiness::Readable;
    }
}

std::int32_t ScriptedNetwork::receive(SocketHandle, std::uint8_t* into, std::uint32_t n) {
    NetworkStep& step = steps.front();
    if (step.kind == NetworkStep::Data) {
        const auto count =
            static_cast<std::uint32_t>(step.bytes.size() < n ? step.bytes.size() : n);
        std::memcpy(into, step.bytes.data(), count);
        step.bytes.erase(step.bytes.begin(), step.bytes.begin() + count);
        if (step.bytes.empty())
            steps.pop_front();
        return static_cast<std::int32_t>(count);
    }
    const bool failed = step.kind == NetworkStep::ReceiveError;
    error_ = static_cast<std::int32_t>(step.value);
    steps.pop_front();
    return failed ? -1 : 0;
}

std::int32_t ScriptedNetwork::send(SocketHandle, const std::uint8_t* bytes, std::uint32_t n) {
    const std::int32_t failure = sendErrors.empty() ? 0 : sendErrors.front();
    if (!sendErrors.empty())
        sendErrors.pop_front();
    if (failure != 0) {
        error_ = failure;
        return -1;
    }
    sent.emplace_back(bytes, bytes + n);
    return static_cast<std::int32_t>(n);
}

} // namespace kpv::test
