#pragma once
// Ways in which the server can misbehave on purpose, so that the client's handling of a bad
// peer can be tried: chosen for a whole run on the command line or for one account in the
// accounts file.
#include <cstdint>
#include <string>
#include <string_view>

namespace kpv::tools {

enum class Fault : std::uint32_t {
    Chunked,      // the reply goes out in small pieces with pauses between them
    Slow,         // the reply waits before it goes out
    WrongType,    // the reply frame carries message type 12 instead of 13
    Truncate,     // only the first half of the reply is sent, then the connection is closed
    BadTag,       // the account's tag has one bit flipped (per entry)
    TrailingByte, // one byte more follows the reply frame
    NoAnswer,     // nothing is sent; the connection stays open until the client gives up
};
inline constexpr std::uint32_t FAULT_COUNT = 7;

class FaultSet {
  public:
    bool has(Fault f) const noexcept { return (bits_ & bit(f)) != 0; }
    bool empty() const noexcept { return bits_ == 0; }
    void add(Fault f) noexcept { bits_ |= bit(f); }
    void add(FaultSet other) noexcept { bits_ |= other.bits_; }
    // Comma-separated names in declaration order, "none" when empty.
    std::string describe() const;

  private:
    static std::uint32_t bit(Fault f) noexcept { return 1u << static_cast<std::uint32_t>(f); }
    std::uint32_t bits_ = 0;
};

// Names: chunked, slow, wrong-type, truncate, bad-tag, trailing-byte, no-answer.
bool parseFault(std::string_view name, Fault& out);
const char* faultName(Fault f);

} // namespace kpv::tools
