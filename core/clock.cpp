#include "core/clock.h"

#include <chrono>
#include <ctime>
#include <thread>

namespace kpv {
namespace {

class SystemClock final : public Clock {
  public:
    std::int64_t now() override { return static_cast<std::int64_t>(std::time(nullptr)); }
    std::uint64_t milliseconds() override {
        const auto since = std::chrono::steady_clock::now().time_since_epoch();
        return static_cast<std::uint64_t>(
            std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
    }
    void sleepMilliseconds(std::uint32_t milliseconds) override {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    }
};

} // namespace

Clock& systemClock() {
    static SystemClock clock;
    return clock;
}

} // namespace kpv
