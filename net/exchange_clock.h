#pragma once
// Time for the exchange: a monotonic millisecond clock and sleeping, behind a seam, and the
// waits and limits of the exchange, so that tests run minutes of waiting in milliseconds while
// the client uses the real values.
#include <cstdint>

namespace kpv {

inline constexpr std::uint32_t READINESS_WAIT_MILLISECONDS = 2000;
inline constexpr std::uint32_t IDLE_LIMIT_SECONDS = 90;
inline constexpr std::uint32_t LONG_IDLE_LIMIT_SECONDS = 600;
inline constexpr std::uint32_t FIRST_RETRY_DELAY_MILLISECONDS = 15000;
inline constexpr std::uint32_t RETRY_DELAY_MILLISECONDS = 5000;
inline constexpr std::uint32_t EXCHANGE_LIMIT_SECONDS = 300;

struct ExchangeTiming {
    std::uint32_t readinessWaitMilliseconds = READINESS_WAIT_MILLISECONDS;
    // Longest silence while waiting for a reply; the long one when the action asked for it.
    std::uint32_t idleLimitMilliseconds = IDLE_LIMIT_SECONDS * 1000;
    std::uint32_t longIdleLimitMilliseconds = LONG_IDLE_LIMIT_SECONDS * 1000;
    std::uint32_t firstRetryDelayMilliseconds = FIRST_RETRY_DELAY_MILLISECONDS;
    std::uint32_t retryDelayMilliseconds = RETRY_DELAY_MILLISECONDS;
    // Longest time one exchange may take in all, retries included, however the server sends:
    // each piece restarts the idle clock, so without it a byte every 80 s would hold the
    // client for ever. Reaching it ends the exchange as an idle time-out.
    std::uint32_t exchangeLimitMilliseconds = EXCHANGE_LIMIT_SECONDS * 1000;
};

class ExchangeClock {
  public:
    virtual ~ExchangeClock() = default;
    // Milliseconds from an arbitrary start; never goes back, whatever the calendar clock does.
    virtual std::uint64_t milliseconds() = 0;
    virtual void sleepMilliseconds(std::uint32_t milliseconds) = 0;
};

// The machine's steady clock.
ExchangeClock& systemExchangeClock();

} // namespace kpv
