#pragma once
// A clock that stands still until a test moves it; sleeping moves it forward.
#include "core/clock.h"

namespace kpv::test {

class FixedClock final : public Clock {
  public:
    explicit FixedClock(std::int64_t start) : seconds(start) {}
    std::int64_t now() override { return seconds; }
    std::uint64_t milliseconds() override { return static_cast<std::uint64_t>(seconds) * 1000; }
    void sleepMilliseconds(std::uint32_t milliseconds) override { seconds += milliseconds / 1000; }
    std::int64_t seconds;
};

} // namespace kpv::test
