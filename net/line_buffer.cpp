#include "net/line_buffer.h"

#include <cstring>

namespace kpv {

LineBuffer::Take LineBuffer::take(std::string& line) {
    line.clear();
    const std::uint8_t* start = bytes_.data();
    const void* end = bytes_.empty() ? nullptr : std::memchr(start, '\n', bytes_.length());
    if (end == nullptr)
        return bytes_.length() > MAX_LINE_BYTES + 1 ? Take::TooLong : Take::NeedMore;
    std::uint32_t length =
        static_cast<std::uint32_t>(static_cast<const std::uint8_t*>(end) - start);
    const std::uint32_t consumed = length + 1;
    if (length > 0 && start[length - 1] == '\r')
        --length;
    if (length > MAX_LINE_BYTES)
        return Take::TooLong;
    line.assign(reinterpret_cast<const char*>(start), length);
    if (consumed == bytes_.length())
        bytes_.release();
    else
        bytes_.eraseFront(consumed);
    return Take::Line;
}

} // namespace kpv
