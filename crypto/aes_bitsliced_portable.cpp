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
};

using Portable = bitsliced::Engine<ByteMoves>;

} // namespace

const BitslicedAes BITSLICED_AES_PORTABLE = {&Portable::expandKey, &Portable::blocks<true>,
                                             &Portable::blocks<false>, &Portable::decryptCbc};

} // namespace kpv
