#pragma once
// A short zero-terminated text put together on the stack, never on the heap: the list writes
// thousands of numbers and dates per reply, beside names, so the digits are written by hand
// rather than through the formatted-output machinery.
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace kpv {

class ShortText {
  public:
    // The decimal digits of `value`, at least `minDigits` of them (leading zeros); `groups`
    // puts a space between groups of three from the right.
    ShortText& number(std::uint32_t value, int minDigits = 1, bool groups = false);
    ShortText& literal(std::string_view text);

    const char* c_str() const noexcept { return text_; }
    std::string_view view() const noexcept { return {text_, length_}; }
    std::size_t size() const noexcept { return length_; }

  private:
    void put(char c) noexcept; // drops what would not leave room for the zero byte

    char text_[48] = {};
    std::size_t length_ = 0;
};

} // namespace kpv
