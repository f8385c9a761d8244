#include "status/column_text.h"

#include "core/calendar_time.h"

namespace kpv {
namespace {

// A short text assembled on the stack; list rows are written thousands of times per reply,
// so the digits are written by hand rather than through the formatted-output machinery. The
// dates come from the one date writer (core/calendar_time.h).
class ShortText {
  public:
    // The decimal digits of `value`, at least `minDigits` of them (leading zeros); `groups`
    // puts a space between groups of three from the right.
    ShortText& number(std::uint32_t value, int minDigits = 1, bool groups = false) {
        char digits[10];
        int count = 0;
        do {
            digits[count++] = static_cast<char>('0' + value % 10);
            value /= 10;
        } while (value != 0);
        while (count < minDigits)
            digits[count++] = '0';
        for (int left = count; left > 0; --left) {
            if (groups && left != count && left % 3 == 0)
                text_[length_++] = ' ';
            text_[length_++] = digits[left - 1];
        }
        return *this;
    }
    ShortText& literal(const char* text) {
        while (*text != '\0')
            text_[length_++] = *text++;
        return *this;
    }
    SecureBuffer finish() {
        text_[length_++] = '\0';
        return SecureBuffer::ofBytes(text_, static_cast<std::uint32_t>(length_));
    }

  private:
    char text_[48];
    int length_ = 0;
};

} // namespace

SecureBuffer formatDateTime(std::uint32_t seconds) {
    CalendarTime local;
    if (!localCalendarTime(seconds, local))
        return ShortText().finish();
    const DateText text = isoMinuteText(local);
    return SecureBuffer::ofBytes(text.c_str(), static_cast<std::uint32_t>(text.size() + 1));
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
    return ShortText().number(value, 1, true).literal(unit->suffix).finish();
}

SecureBuffer formatDecimal(std::uint32_t value) {
    return ShortText().number(value).finish();
}

SecureBuffer joinText(const SecureBuffer& first, const SecureBuffer& second) {
    SecureBuffer joined = first;
    if (!joined.empty() && joined.data()[joined.length() - 1] == 0)
        joined.dropBack(1);
    joined.append(second);
    return joined;
}

} // namespace kpv
