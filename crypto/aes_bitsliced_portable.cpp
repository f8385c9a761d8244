// The bit-sliced rounds with byte shuffles done by plain byte moves (fixed public patterns).
#include "crypto/aes_bitsliced.h"
#include "crypto/aes_bitsliced_engine.h"

namespace kpv {
namespace {

using bitsliced::Lanes;

struct ByteMoves {
    static Lanes shuffle(Lanes v, const bitsliced::Pattern& p) {
        std::uint8_t in[16];
        std::uint8_t out[16];
        std::memcpy(in, &v, sizeof in);
        for (unsigned i = 0; i < 16; ++i)
            out[i] = in[p.index[i]];
        std::memcpy(&v, out, sizeof v);
        return v;
    }

    // A column is one 32-bit word, so rotating its rows is rotating the word by whole bytes;
    // which way depends on where the word keeps its first byte.
    template <unsigned ROWS>
    static Lanes rotateRows(Lanes v) {
        using Words = std::uint32_t __attribute__((vector_size(16)));
        constexpr unsigned BITS = 8 * ROWS;
        const auto w = reinterpret_cast<Words>(v);
#if __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
        return reinterpret_cast<Lanes>(w >> BITS | w << (32 - BITS));
#else
        return reinterpret_cast<Lanes>(w << BITS | w >> (32 - BITS));
#endif
    }
};

using Portable = bitsliced::Engine<ByteMoves>;

} // namespace

const BitslicedAes BITSLICED_AES_PORTABLE = {&Portable::expandKey, &Portable::blocks<true>,
                                             &Portable::blocks<false>, &Portable::decryptCbc};

} // namespace kpv
