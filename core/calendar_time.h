#pragma once
// The one calendar of the system: a 32-bit time (seconds since 1970-01-01 UTC, up to 2106) as
// calendar fields in UTC or in local time, and the ISO 8601 texts written from them on the
// stack. Every date text of the client, the check and the tools is built on these.
#include "core/short_text.h"

#include <cstdint>

namespace kpv {

struct CalendarTime {
    std::uint32_t year = 1970; // 1969 only in local time west of Greenwich
    std::uint32_t month = 1;   // 1-12
    std::uint32_t day = 1;     // 1-31
    std::uint32_t hour = 0;
    std::uint32_t minute = 0;
    std::uint32_t second = 0;
    std::uint32_t weekday = 4; // 0 Sunday to 6 Saturday
};

// In the proleptic Gregorian calendar, for every 32-bit time.
CalendarTime utcCalendarTime(std::uint32_t secondsSince1970);
// In the process's time zone, as the C runtime keeps it; false when it cannot convert the time.
bool localCalendarTime(std::uint32_t secondsSince1970, CalendarTime& local);

// "2024-06-01T10:15:02Z": the form of every machine-readable time of the system.
ShortText isoUtcText(std::uint32_t secondsSince1970);
// "2024-06-01 10:15", the minute that people read (local in the list, UTC in alerts).
ShortText isoMinuteText(const CalendarTime& time);
// "2024-06-01 10:15:02".
ShortText isoSecondText(const CalendarTime& time);

} // namespace kpv
