#pragma once
// What several fuzz targets share: a reader that takes bytes from the input and yields zeros or
// short buffers past its end, and a status view that stops the run on a row text that is not a
// zero-terminated text.
#include "core/secure_buffer.h"
#include "status/status_view.h"

#include <cstddef>
#include <cstdint>

struct FuzzReader {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t pos = 0;

    std::uint8_t byte() { return pos < size ? data[pos++] : 0; }
    kpv::SecureBuffer take(std::size_t n) {
        const std::size_t count = n < size - pos ? n : size - pos;
        kpv::SecureBuffer out =
            kpv::SecureBuffer::ofBytes(data + pos, static_cast<std::uint32_t>(count));
        pos += count;
        return out;
    }
    kpv::SecureBuffer rest() { return take(size - pos); }
};

class CheckedRowsView final : public kpv::StatusView {
  public:
    kpv::Answer showMessage(const char*, kpv::MessageKind) override { return kpv::Answer::Ok; }
    void clearRows() override {}
    void insertRow(std::uint32_t, const kpv::SecureBuffer* texts, const kpv::RowStatus&) override {
        for (int i = 0; i < kpv::STATUS_COLUMN_COUNT; ++i)
            if (texts[i].empty() || texts[i].data()[texts[i].length() - 1] != 0)
                __builtin_trap();
    }
    void exchangeFailed() override {}
};
