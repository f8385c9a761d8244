#pragma once
// Time and sleeping behind a seam, so that minutes of waiting are tested in milliseconds.
#include <cstdint>

namespace kpv {

class Clock {
  public:
    virtual ~Clock() = default;
    // Calendar time: seconds since 1970-01-01 00:00 UTC.
    virtual std::int64_t now() = 0;
    virtual void sleepMilliseconds(std::uint32_t milliseconds) = 0;
};

// The real clock of the machine.
Clock& systemClock();

} // namespace kpv
