#include "status/column_text.h"

#include "core/calendar_time.h"

namespace kpv {
namespace {

// Every column text is put together on the stack (core/short_text.h), never on the heap.
SecureBuffer finished(const ShortText& text) {
    return SecureBuffer::ofBytes(text.c_str(), static_cast<std::uint32_t>(text.size() + 1));
}

} // namespace

SecureBuffer formatDateTime(std::uint32_t seconds) {
    CalendarTime local;
    if (!localCalendarTime(seconds, local))
        return finished(ShortText());
    return finished(isoMinuteText(local));
}

SecureBuffer formatSize(std::uint64_t bytes) {
    struct Unit {
        std::uint64_t above;
        unsigned shift;
        const char* suffix;
    };
    static constexpr Unit UNITS[] = {{10ULL << 40, 40, " TB"},
                                     {10ULL << 30, 30, " GB"},
                                     {10ULL << 20, 20, " MB"},
                                     {10ULL << 10, 10, " KB"},
                                     {0, 0, " bytes"}};
    const Unit* unit = UNITS;
    while (unit->shift != 0 && bytes <= unit->above)
        ++unit;
    const auto value = static_cast<std::uint32_t>(bytes >> unit->shift);
    return finished(ShortText().number(value, 1, true).literal(unit->suffix));
}

SecureBuffer formatDecimal(std::uint32_t value) {
    return finished(ShortText().number(value));
}

SecureBuffer joinText(const SecureBuffer& first, const SecureBuffer& second) {
    SecureBuffer joined = first;
    if (!joined.empty() && joined.data()[joined.length() - 1] == 0)
        joined.dropBack(1);
    joined.append(second);
    return joined;
}

} // namespace kpv
