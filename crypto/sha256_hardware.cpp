#include "crypto/sha256_hardware.h"

#include "core/secure_memory.h"
#include "crypto/sha256_constants.h"

#if defined(__x86_64__)
#include <immintrin.h>

namespace kpv {

// The instructions keep the state as two vectors, ABEF and CDGH (A in the highest lane).
__attribute__((target("sha,sse4.1"))) void sha256HardwareCompress(std::uint32_t* state,
                                                                  const std::uint8_t* blocks,
                                                                  std::size_t count) noexcept {
    const __m128i byteSwap = _mm_set_epi8(12, 13, 14, 15, 8, 9, 10, 11, 4, 5, 6, 7, 0, 1, 2, 3);
    const auto* constants = reinterpret_cast<const __m128i*>(SHA256_ROUND_CONSTANTS);
    __m128i dcba = _mm_loadu_si128(reinterpret_cast<const __m128i*>(state));
    __m128i hgfe = _mm_loadu_si128(reinterpret_cast<const __m128i*>(state + 4));
    const __m128i cdab = _mm_shuffle_epi32(dcba, 0xB1);
    const __m128i efgh = _mm_shuffle_epi32(hgfe, 0x1B);
    __m128i abef = _mm_alignr_epi8(cdab, efgh, 8);
    __m128i cdgh = _mm_blend_epi16(efgh, cdab, 0xF0);

    // The message schedule is key material when the blocks are HMAC pads: wiped at the end by
    // the one wipe the optimiser cannot drop (plain stores to a dead array it may).
    __m128i w[4];
    for (; count > 0; --count, blocks += 64) {
        const __m128i savedAbef = abef;
        const __m128i savedCdgh = cdgh;
        for (int i = 0; i < 4; ++i)
            w[i] = _mm_shuffle_epi8(
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(blocks + 16 * i)), byteSwap);
        for (int group = 0; group < 16; ++group) {
            __m128i& words = w[group & 3];
            if (group >= 4) {
                // w[group] from w[group-4..group-1]; the slot of group-4 is reused.
                const __m128i& w1 = w[(group + 1) & 3];
                const __m128i& w2 = w[(group + 2) & 3];
                const __m128i& w3 = w[(group + 3) & 3];
                words = _mm_sha256msg2_epu32(
                    _mm_add_epi32(_mm_sha256msg1_epu32(words, w1), _mm_alignr_epi8(w3, w2, 4)), w3);
            }
            __m128i sum = _mm_add_epi32(words, _mm_load_si128(constants + group));
            cdgh = _mm_sha256rnds2_epu32(cdgh, abef, sum);
            sum = _mm_shuffle_epi32(sum, 0x0E);
            abef = _mm_sha256rnds2_epu32(abef, cdgh, sum);
        }
        abef = _mm_add_epi32(abef, savedAbef);
        cdgh = _mm_add_epi32(cdgh, savedCdgh);
    }
    secureWipe(w, sizeof w);

    const __m128i feba = _mm_shuffle_epi32(abef, 0x1B);
    const __m128i dchg = _mm_shuffle_epi32(cdgh, 0xB1);
    dcba = _mm_blend_epi16(feba, dchg, 0xF0);
    hgfe = _mm_alignr_epi8(dchg, feba, 8);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state), dcba);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state + 4), hgfe);
}

} // namespace kpv

#else

namespace kpv {

void sha256HardwareCompress(std::uint32_t*, const std::uint8_t*, std::size_t) noexcept {}

} // namespace kpv

#endif
