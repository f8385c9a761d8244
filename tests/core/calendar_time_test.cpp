#include "core/calendar_time.h"
#include "tests/support/time_zone.h"

#include <doctest/doctest.h>

#include <ctime>
#include <string>

using namespace kpv;

namespace {

// The C library's own calendar, which the system's must match to the second.
bool referenceFields(std::uint32_t seconds, bool local, std::tm& fields) {
    const auto time = static_cast<std::time_t>(static_cast<std::int64_t>(seconds));
#ifdef _WIN32
    return (local ? localtime_s(&fields, &time) : gmtime_s(&fields, &time)) == 0;
#else
    return (local ? localtime_r(&time, &fields) : gmtime_r(&time, &fields)) != nullptr;
#endif
}

std::string referenceText(const std::tm& fields, const char* format) {
    char text[40] = {};
    std::strftime(text, sizeof text, format, &fields);
    return text;
}

void checkFields(const CalendarTime& ours, const std::tm& fields) {
    CHECK(ours.year == static_cast<std::uint32_t>(fields.tm_year + 1900));
    CHECK(ours.month == static_cast<std::uint32_t>(fields.tm_mon + 1));
    CHECK(ours.day == static_cast<std::uint32_t>(fields.tm_mday));
    CHECK(ours.hour == static_cast<std::uint32_t>(fields.tm_hour));
    CHECK(ours.minute == static_cast<std::uint32_t>(fields.tm_min));
    CHECK(ours.second == static_cast<std::uint32_t>(fields.tm_sec));
    CHECK(ours.weekday == static_cast<std::uint32_t>(fields.tm_wday));
}

} // namespace

TEST_CASE("the calendar and its texts match the C library's on every day a 32-bit time reaches") {
    CHECK(std::string(isoUtcText(0).c_str()) == "1970-01-01T00:00:00Z");
    CHECK(std::string(isoUtcText(951825600).c_str()) == "2000-02-29T12:00:00Z");
    CHECK(std::string(isoUtcText(1700000000).c_str()) == "2023-11-14T22:13:20Z");
    CHECK(std::string(isoUtcText(0xFFFFFFFF).c_str()) == "2106-02-07T06:28:15Z");
    CHECK(isoSecondText(utcCalendarTime(1700000000)).view() == "2023-11-14 22:13:20");
    CHECK(isoMinuteText(utcCalendarTime(1700000000)).view() == "2023-11-14 22:13");

    // A zone with daylight saving time. Wine's C runtime reads only a POSIX rule, and can be
    // an hour off near a switch, but then so is the reference.
#ifdef _WIN32
    test::setTimeZone("CET-1CEST,M3.5.0,M10.5.0/3");
#else
    test::setTimeZone("Europe/Stockholm");
#endif
    std::uint64_t compared = 0;
    const auto compare = [&compared](std::uint32_t seconds) {
        std::tm utc{};
        std::tm local{};
        CalendarTime ours;
        REQUIRE(referenceFields(seconds, false, utc));
        REQUIRE(referenceFields(seconds, true, local));
        REQUIRE(localCalendarTime(seconds, ours));
        const CalendarTime ourUtc = utcCalendarTime(seconds);
        const std::string utcText = referenceText(utc, "%Y-%m-%dT%H:%M:%SZ");
        const std::string localText = referenceText(local, "%Y-%m-%d %H:%M:%S");
        // Only a mismatch is reported, so a failure names its time without a million passed
        // assertions around it.
        if (isoUtcText(seconds).view() != utcText || isoSecondText(ours).view() != localText ||
            isoMinuteText(ours).view() != localText.substr(0, 16) ||
            ourUtc.weekday != static_cast<std::uint32_t>(utc.tm_wday) ||
            ours.weekday != static_cast<std::uint32_t>(local.tm_wday)) {
            CAPTURE(seconds);
            checkFields(ourUtc, utc);
            checkFields(ours, local);
            CHECK(isoUtcText(seconds).view() == utcText);
            CHECK(isoMinuteText(ours).view() == localText.substr(0, 16));
        }
        ++compared;
    };
    const std::uint32_t timesOfDay[] = {0, 1, 3599, 7 * 3600 + 1234, 12 * 3600 + 61, 86399};
    for (std::uint64_t day = 0; day * 86400 <= 0xFFFFFFFFu; ++day)
        for (const std::uint32_t timeOfDay : timesOfDay)
            if (day * 86400 + timeOfDay <= 0xFFFFFFFFu)
                compare(static_cast<std::uint32_t>(day * 86400 + timeOfDay));
    compare(0xFFFFFFFF);
    CHECK(compared == 49710u * 6 + 3 + 1); // the last day ends at 06:28:15
}
