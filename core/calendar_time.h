#pragma once
// The one calendar of the system: a 32-bit time (seconds since 1970-01-01 UTC, up to 2106) as
// calendar fields in UTC or in local time, and the ISO 8601 texts written from them. Every
// date text of the client, the check and the tools is built here.
#include <cstdint>
#include <string_view>

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

// A short zero-terminated text that lives on the stack: list rows write thousands of dates
// per reply, and no copy of a date beside a name is ever left on the heap.
class DateText {
  public:
    DateText& number(std::uint32_t value, int digits);
    DateText& literal(std::string_view text);
    const char* c_str() const noexcept { return text_; }
    std::string_view view() const noexcept { return {text_, length_}; }
    std::size_t size() const noexcept { return length_; }

  private:
    char text_[40] = {};
    std::size_t length_ = 0;
};

// "2024-06-01T10:15:02Z": the form of every machine-readable time of the system.
DateText isoUtcText(std::uint32_t secondsSince1970);
// "2024-06-01 10:15", the minute that people read (local in the list, UTC in alerts).
DateText isoMinuteText(const CalendarTime& time);
// "2024-06-01 10:15:02".
DateText isoSecondText(const CalendarTime& time);

} // namespace kpv
