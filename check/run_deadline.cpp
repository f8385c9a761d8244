#include "check/run_deadline.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <utility>

namespace kpv::check {

RunDeadline::RunDeadline(std::uint32_t milliseconds, WipingString lastWords, int exitCode)
    : lastWords_(std::move(lastWords)), exitCode_(exitCode),
      watchdog_([this, milliseconds] { watch(milliseconds); }) {}

RunDeadline::~RunDeadline() {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    stopped_.notify_all();
    watchdog_.join();
}

bool RunDeadline::claimOutput() {
    if (!claimed_.exchange(true))
        return true;
    for (;;) // the watchdog is writing and will end the process
        std::this_thread::sleep_for(std::chrono::seconds(1));
}

void RunDeadline::watch(std::uint32_t milliseconds) {
    {
        std::unique_lock<std::mutex> lock(mutex_);
        if (stopped_.wait_for(lock, std::chrono::milliseconds(milliseconds),
                              [this] { return stop_; }))
            return;
    }
    if (claimed_.exchange(true))
        return; // the run finished just in time and prints its own result
    std::fwrite(lastWords_.data(), 1, lastWords_.size(), stdout);
    std::fflush(stdout);
    std::_Exit(exitCode_);
}

} // namespace kpv::check
