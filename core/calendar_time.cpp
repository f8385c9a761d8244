#include "core/calendar_time.h"

#include <ctime>

namespace kpv {

namespace {

ShortText isoMinute(const CalendarTime& time, std::string_view between) {
    ShortText text;
    text.number(time.year, 4).literal("-").number(time.month, 2).literal("-");
    text.number(time.day, 2).literal(between).number(time.hour, 2).literal(":");
    text.number(time.minute, 2);
    return text;
}

} // namespace

CalendarTime utcCalendarTime(std::uint32_t secondsSince1970) {
    // Days to a civil date (H. Hinnant's days_from_civil, inverted), with eras of 400 years
    // counted from 0000-03-01 so that the leap day ends a year.
    const std::uint32_t days = secondsSince1970 / 86400;
    const std::uint32_t secondOfDay = secondsSince1970 % 86400;
    const std::uint32_t z = days + 719468;
    const std::uint32_t era = z / 146097;
    const std::uint32_t dayOfEra = z - era * 146097;
    const std::uint32_t yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const std::uint32_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::uint32_t mp = (5 * dayOfYear + 2) / 153;
    CalendarTime time;
    time.day = dayOfYear - (153 * mp + 2) / 5 + 1;
    time.month = mp < 10 ? mp + 3 : mp - 9;
    time.year = yearOfEra + era * 400 + (time.month <= 2 ? 1 : 0);
    time.hour = secondOfDay / 3600;
    time.minute = secondOfDay / 60 % 60;
    time.second = secondOfDay % 60;
    time.weekday = (days + 4) % 7; // 1970-01-01 was a Thursday
    return time;
}

bool localCalendarTime(std::uint32_t secondsSince1970, CalendarTime& local) {
    const auto time = static_cast<std::time_t>(static_cast<std::int64_t>(secondsSince1970));
    std::tm fields{};
#ifdef _WIN32
    if (localtime_s(&fields, &time) != 0)
        return false;
#else
    if (localtime_r(&time, &fields) == nullptr)
        return false;
#endif
    local.year = static_cast<std::uint32_t>(fields.tm_year + 1900);
    local.month = static_cast<std::uint32_t>(fields.tm_mon + 1);
    local.day = static_cast<std::uint32_t>(fields.tm_mday);
    local.hour = static_cast<std::uint32_t>(fields.tm_hour);
    local.minute = static_cast<std::uint32_t>(fields.tm_min);
    local.second = static_cast<std::uint32_t>(fields.tm_sec);
    local.weekday = static_cast<std::uint32_t>(fields.tm_wday);
    return true;
}

ShortText isoUtcText(std::uint32_t secondsSince1970) {
    const CalendarTime time = utcCalendarTime(secondsSince1970);
    ShortText text = isoMinute(time, "T");
    text.literal(":").number(time.second, 2).literal("Z");
    return text;
}

ShortText isoMinuteText(const CalendarTime& time) {
    return isoMinute(time, " ");
}

ShortText isoSecondText(const CalendarTime& time) {
    ShortText text = isoMinute(time, " ");
    text.literal(":").number(time.second, 2);
    return text;
}

} // namespace kpv
