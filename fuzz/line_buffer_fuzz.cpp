// Feeds arbitrary bytes to the mail dialogue's line splitter in pieces whose sizes the bytes
// choose: every line it gives is within bounds and holds no line end, and no byte is given
// twice.
#include "net/line_buffer.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 1 << 20)
        return 0;
    kpv::LineBuffer lines;
    std::size_t given = 0;
    std::size_t at = 0;
    std::string line;
    while (at < size) {
        const std::size_t piece = 1 + data[at] % 97u;
        const std::size_t n = piece < size - at ? piece : size - at;
        lines.append(data + at, static_cast<std::uint32_t>(n));
        at += n;
        for (;;) {
            const kpv::LineBuffer::Take taken = lines.take(line);
            if (taken == kpv::LineBuffer::Take::TooLong)
                return 0;
            if (taken == kpv::LineBuffer::Take::NeedMore)
                break;
            if (line.size() > kpv::LineBuffer::MAX_LINE_BYTES ||
                line.find('\n') != std::string::npos)
                __builtin_trap();
            given += line.size() + 1; // at least its LF was consumed
            if (given > at)
                __builtin_trap();
        }
    }
    return 0;
}
