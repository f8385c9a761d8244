// Reads arbitrary bytes as a record stream, driven by the bytes themselves: every read must
// stay in bounds and never move the cursor backwards past where it was.
#include "core/record_stream.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 1 << 20)
        return 0;
    kpv::RecordStream stream(kpv::SecureBuffer::ofBytes(data, static_cast<std::uint32_t>(size)));
    for (std::size_t step = 0; step < 64 && !stream.exhausted(); ++step) {
        const std::uint32_t before = stream.cursor;
        switch (stream.contents.at(stream.cursor) % 3) {
        case 0:
            (void)stream.readU16();
            break;
        case 1:
            (void)stream.readU32();
            break;
        default: {
            const kpv::SecureBuffer blob = stream.readBlob();
            if (blob.length() > stream.length())
                __builtin_trap();
            if (blob.empty() && stream.cursor == before)
                return 0; // a blob past the end leaves the cursor where it was
        }
        }
        if (stream.cursor < before)
            __builtin_trap();
    }
    return 0;
}
