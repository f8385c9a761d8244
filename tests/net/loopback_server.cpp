#include "tests/net/loopback_server.h"

#include <chrono>

namespace kpv::test {
namespace {

using Steady = std::chrono::steady_clock;

bool wholeFrame(const Bytes& bytes) {
    if (bytes.size() < 14)
        return false;
    const std::uint32_t length = std::uint32_t(bytes[4]) | std::uint32_t(bytes[5]) << 8 |
                                 std::uint32_t(bytes[6]) << 16 | std::uint32_t(bytes[7]) << 24;
    return length == bytes.size();
}

std::uint32_t millisecondsLeft(Steady::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Steady::now());
    return left.count() > 0 ? static_cast<std::uint32_t>(left.count()) : 0;
}

} // namespace

Bytes ServerSide::readFrame(std::uint32_t milliseconds) {
    const auto deadline = Steady::now() + std::chrono::milliseconds(milliseconds);
    Bytes frame;
    std::uint8_t chunk[4096];
    while (!wholeFrame(frame)) {
        const int got = peer_.receive(chunk, sizeof chunk, millisecondsLeft(deadline));
        if (got <= 0)
            return {};
        frame.insert(frame.end(), chunk, chunk + got);
    }
    const std::lock_guard<std::mutex> hold(lock_);
    requests_.push_back(frame);
    return frame;
}

bool ServerSide::send(const Bytes& bytes) {
    return peer_.sendAll(bytes.data(), bytes.size());
}

bool ServerSide::sendFiller(std::size_t count, std::uint8_t value) {
    const Bytes block(1 << 16, value);
    while (count > 0) {
        const std::size_t n = count < block.size() ? count : block.size();
        if (!peer_.sendAll(block.data(), n))
            return false;
        count -= n;
    }
    return true;
}

bool ServerSide::sendInPieces(const Bytes& bytes, std::size_t piece,
                              std::uint32_t gapMilliseconds) {
    for (std::size_t at = 0; at < bytes.size(); at += piece) {
        if (at != 0)
            pause(gapMilliseconds);
        const std::size_t n = bytes.size() - at < piece ? bytes.size() - at : piece;
        if (!peer_.sendAll(bytes.data() + at, n))
            return false;
    }
    return true;
}

void ServerSide::pause(std::uint32_t milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

bool ServerSide::waitForClose(std::uint32_t milliseconds) {
    const auto deadline = Steady::now() + std::chrono::milliseconds(milliseconds);
    std::uint8_t chunk[4096];
    for (;;) {
        const std::uint32_t left = millisecondsLeft(deadline);
        if (left == 0)
            return false;
        const int got = peer_.receive(chunk, sizeof chunk, left);
        if (got == 0 || got == -1)
            return true; // an orderly close or a reset both end the connection
    }
}

LoopbackServer::LoopbackServer(std::vector<Script> scripts, int receiveBufferBytes)
    : listener_(receiveBufferBytes), scripts_(std::move(scripts)) {
    thread_ = std::thread([this] { serve(); });
}

void LoopbackServer::serve() {
    for (const Script& script : scripts_) {
        TestPeer peer;
        for (;;) {
            bool stopping = false;
            {
                const std::lock_guard<std::mutex> hold(lock_);
                stopping = stopping_;
            }
            // Once asked to stop, one last look for a connection that is already waiting.
            peer = listener_.accept(stopping ? 0 : 20);
            if (peer.valid() || stopping)
                break;
        }
        if (!peer.valid())
            return;
        {
            const std::lock_guard<std::mutex> hold(lock_);
            ++connections_;
        }
        ServerSide side(peer, requests_, lock_);
        script(side);
    }
}

void LoopbackServer::finish() {
    {
        const std::lock_guard<std::mutex> hold(lock_);
        stopping_ = true;
    }
    if (thread_.joinable())
        thread_.join();
}

std::vector<Bytes> LoopbackServer::requests() const {
    const std::lock_guard<std::mutex> hold(lock_);
    return requests_;
}

} // namespace kpv::test
