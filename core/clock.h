#pragma once
// Time and sleeping behind one seam, so that minutes and days of waiting are tested in
// milliseconds: the calendar for the outdated-backup check, a steady millisecond count for the
// exchange's limits, and sleeping for its retry waits.
#include <cstdint>

namespace kpv {

class Clock {
  public:
    virtual ~Clock() = default;
    // Calendar time: seconds since 1970-01-01 00:00 UTC.
    virtual std::int64_t now() = 0;
    // Milliseconds from an arbitrary start; never goes back, whatever the calendar clock does.
    virtual std::uint64_t milliseconds() = 0;
    virtual void sleepMilliseconds(std::uint32_t milliseconds) = 0;
};

// The real clocks of the machine.
Clock& systemClock();

} // namespace kpv
