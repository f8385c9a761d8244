#include "status/column_text.h"

#include <cstdio>
#include <ctime>

namespace kpv {
namespace {

SecureBuffer textOf(const char* text) {
    return SecureBuffer::fromCString(text);
}

bool toLocalTime(std::uint32_t seconds, std::tm& local) {
    const auto time = static_cast<std::time_t>(static_cast<std::int64_t>(seconds));
#ifdef _WIN32
    return localtime_s(&local, &time) == 0;
#else
    return localtime_r(&time, &local) != nullptr;
#endif
}

} // namespace

SecureBuffer formatDateTime(std::uint32_t seconds) {
    std::tm local{};
    if (!toLocalTime(seconds, local))
        return textOf("");
    char text[48];
    std::snprintf(text, sizeof text, "%d-%02d-%02d %02d:%02d", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min);
    return textOf(text);
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

    char digits[16];
    const int count = std::snprintf(digits, sizeof digits, "%u", static_cast<unsigned>(value));
    char grouped[32];
    int out = 0;
    for (int i = 0; i < count; ++i) {
        const int left = count - i;
        if (i != 0 && left % 3 == 0)
            grouped[out++] = ' ';
        grouped[out++] = digits[i];
    }
    grouped[out] = '\0';
    return joinText(textOf(grouped), textOf(unit->suffix));
}

SecureBuffer formatDecimal(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%u", static_cast<unsigned>(value));
    return textOf(text);
}

SecureBuffer joinText(const SecureBuffer& first, const SecureBuffer& second) {
    SecureBuffer joined = first;
    if (!joined.empty() && joined.data()[joined.length() - 1] == 0)
        joined.dropBack(1);
    joined.append(second);
    return joined;
}

} // namespace kpv
