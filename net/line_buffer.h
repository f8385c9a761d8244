#pragma once
// The received side of a line protocol (the mail dialogue): bytes in as they arrive, whole
// lines out without their line end. Lines end in LF, normally CR LF; the CR is dropped. The
// bytes wait in a wiping buffer, and at most MAX_LINE_BYTES of a line are ever held unread, so
// a peer that never ends a line cannot grow it without bound.
#include <cstdint>
#include <string>

#include "core/secure_buffer.h"

namespace kpv {

class LineBuffer {
  public:
    static constexpr std::uint32_t MAX_LINE_BYTES = 4096;

    enum class Take {
        Line,     // `line` holds the next line
        NeedMore, // no whole line yet: append what arrives next
        TooLong,  // the next line exceeds MAX_LINE_BYTES (its end not counted)
    };

    void append(const void* bytes, std::uint32_t n) { bytes_.append(bytes, n); }
    Take take(std::string& line);
    // Whether bytes wait that no line has taken yet.
    bool empty() const noexcept { return bytes_.empty(); }
    void clear() noexcept { bytes_.release(); }

  private:
    SecureBuffer bytes_;
};

} // namespace kpv
