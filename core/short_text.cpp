#include "core/short_text.h"

namespace kpv {

void ShortText::put(char c) noexcept {
    if (length_ + 1 < sizeof text_)
        text_[length_++] = c;
}

ShortText& ShortText::number(std::uint32_t value, int minDigits, bool groups) {
    char digits[10];
    int count = 0;
    do {
        digits[count++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    while (count < minDigits && count < 10)
        digits[count++] = '0';
    for (int left = count; left > 0; --left) {
        if (groups && left != count && left % 3 == 0)
            put(' ');
        put(digits[left - 1]);
    }
    return *this;
}

ShortText& ShortText::literal(std::string_view text) {
    for (const char c : text)
        put(c);
    return *this;
}

} // namespace kpv
