#include "net/exchange_clock.h"

#include <chrono>
#include <thread>

namespace kpv {
namespace {

class SteadyExchangeClock final : public ExchangeClock {
  public:
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

ExchangeClock& systemExchangeClock() {
    static SteadyExchangeClock clock;
    return clock;
}

} // namespace kpv
