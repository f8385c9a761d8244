// The bit-sliced rounds with SSSE3 byte shuffles. This file alone is compiled with -mssse3 (see
// CMakeLists.txt), so that the rounds inline into one another; its code only runs after CPUID
// reported SSSE3. Everything here has internal linkage, so no SSSE3 code can stand in for a
// function of another file.
#include "crypto/aes_bitsliced.h"

#if defined(__x86_64__)
#include "crypto/aes_bitsliced_engine.h"

#include <tmmintrin.h>

namespace kpv {
namespace {

using bitsliced::Lanes;

struct Pshufb {
    static Lanes shuffle(Lanes v, const bitsliced::Pattern& p) {
        const __m128i pattern = _mm_load_si128(reinterpret_cast<const __m128i*>(p.index));
        return reinterpret_cast<Lanes>(_mm_shuffle_epi8(reinterpret_cast<__m128i>(v), pattern));
    }
    template <unsigned ROWS>
    static Lanes rotateRows(Lanes v) {
        return shuffle(v, ROWS == 1 ? bitsliced::ROTATE_ROWS_1 : bitsliced::ROTATE_ROWS_2);
    }
};

using Ssse3 = bitsliced::Engine<Pshufb>;

} // namespace

const BitslicedAes BITSLICED_AES_SSSE3 = {&Ssse3::expandKey, &Ssse3::blocks<true>,
                                          &Ssse3::blocks<false>, &Ssse3::decryptCbc};

} // namespace kpv

#endif
