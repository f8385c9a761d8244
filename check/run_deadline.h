#pragma once
// The bound on a whole run: however the server, the name resolver or a connect behaves, the
// check ends within its --timeout with an UNKNOWN result. A watchdog thread prints the result
// prepared in advance and ends the process; whichever side claims the output first is the only
// one to print, so nothing is ever printed twice.
#include "core/wiping_allocator.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

namespace kpv::check {

class RunDeadline {
  public:
    // After `milliseconds`, unless the output was claimed first: writes `lastWords` to standard
    // output and ends the process at once with `exitCode` (no destructors run; the memory goes
    // back to the system with the process).
    RunDeadline(std::uint32_t milliseconds, WipingString lastWords, int exitCode);
    // Stops the watchdog if it has not fired.
    ~RunDeadline();
    RunDeadline(const RunDeadline&) = delete;
    RunDeadline& operator=(const RunDeadline&) = delete;

    // True for the first claim: the caller prints its result. False when the watchdog has
    // claimed it; the process is then about to end, and this call never returns.
    bool claimOutput();

  private:
    void watch(std::uint32_t milliseconds);

    WipingString lastWords_;
    int exitCode_;
    std::atomic<bool> claimed_{false};
    std::mutex mutex_;
    std::condition_variable stopped_;
    bool stop_ = false;
    std::thread watchdog_;
};

} // namespace kpv::check
