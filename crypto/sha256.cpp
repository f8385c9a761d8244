#include "crypto/sha256.h"

#include "core/secure_memory.h"
#include "crypto/crypto_paths.h"
#include "crypto/sha256_constants.h"
#include "crypto/sha256_hardware.h"

#include <cstring>

namespace kpv {
namespace {

constexpr std::uint32_t INITIAL_STATE[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                            0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};

constexpr std::uint32_t rotr(std::uint32_t x, unsigned n) {
    return x >> n | x << (32 - n);
}

std::uint32_t loadBigEndian(const std::uint8_t* p) {
    return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 |
           std::uint32_t{p[3]};
}

// One round. The caller rotates the roles of the eight working variables instead of moving
// them, so only d and h are written. The sums are grouped so that the terms depending on the
// previous round's e and a are added last, which shortens the dependency chain per round.
[[gnu::always_inline]] inline void round(std::uint32_t a, std::uint32_t b, std::uint32_t c,
                                         std::uint32_t& d, std::uint32_t e, std::uint32_t f,
                                         std::uint32_t g, std::uint32_t& h,
                                         std::uint32_t constantPlusWord) {
    const std::uint32_t sigma1 = rotr(e, 6) ^ rotr(e, 11) ^ rotr(e, 25);
    const std::uint32_t choose = g ^ (e & (f ^ g));
    const std::uint32_t sigma0 = rotr(a, 2) ^ rotr(a, 13) ^ rotr(a, 22);
    const std::uint32_t majority = b ^ ((a ^ b) & (b ^ c));
    const std::uint32_t t1 = sigma1 + (choose + (h + constantPlusWord));
    d += t1;
    h = t1 + (sigma0 + majority);
}

// Message word i (i >= 16) in a 16-word ring.
[[gnu::always_inline]] inline std::uint32_t expand(std::uint32_t* w, unsigned i) {
    const std::uint32_t w15 = w[(i - 15) & 15];
    const std::uint32_t w2 = w[(i - 2) & 15];
    w[i & 15] += (rotr(w2, 17) ^ rotr(w2, 19) ^ (w2 >> 10)) + w[(i - 7) & 15] +
                 (rotr(w15, 7) ^ rotr(w15, 18) ^ (w15 >> 3));
    return w[i & 15];
}

// Sixteen rounds starting at round `first`; rounds 0..15 take the words as loaded. Inlined so
// that the working variables stay in registers.
template <bool LOADED>
[[gnu::always_inline]] inline void
sixteenRounds(std::uint32_t& a, std::uint32_t& b, std::uint32_t& c, std::uint32_t& d,
              std::uint32_t& e, std::uint32_t& f, std::uint32_t& g, std::uint32_t& h,
              std::uint32_t* w, unsigned first) {
    const std::uint32_t* k = SHA256_ROUND_CONSTANTS + first;
    auto word = [&](unsigned j) { return LOADED ? w[j] : expand(w, first + j); };
    round(a, b, c, d, e, f, g, h, k[0] + word(0));
    round(h, a, b, c, d, e, f, g, k[1] + word(1));
    round(g, h, a, b, c, d, e, f, k[2] + word(2));
    round(f, g, h, a, b, c, d, e, k[3] + word(3));
    round(e, f, g, h, a, b, c, d, k[4] + word(4));
    round(d, e, f, g, h, a, b, c, k[5] + word(5));
    round(c, d, e, f, g, h, a, b, k[6] + word(6));
    round(b, c, d, e, f, g, h, a, k[7] + word(7));
    round(a, b, c, d, e, f, g, h, k[8] + word(8));
    round(h, a, b, c, d, e, f, g, k[9] + word(9));
    round(g, h, a, b, c, d, e, f, k[10] + word(10));
    round(f, g, h, a, b, c, d, e, k[11] + word(11));
    round(e, f, g, h, a, b, c, d, k[12] + word(12));
    round(d, e, f, g, h, a, b, c, k[13] + word(13));
    round(c, d, e, f, g, h, a, b, k[14] + word(14));
    round(b, c, d, e, f, g, h, a, k[15] + word(15));
}

// Compresses `count` consecutive 64-byte blocks into the state. The message schedule is wiped
// before returning.
void compressPortable(std::uint32_t* state, const std::uint8_t* blocks, std::size_t count) {
    std::uint32_t w[16];
    for (; count > 0; --count, blocks += SHA256_BLOCK_SIZE) {
        for (unsigned i = 0; i < 16; ++i)
            w[i] = loadBigEndian(blocks + 4 * i);
        std::uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
        std::uint32_t e = state[4], f = state[5], g = state[6], h = state[7];
        sixteenRounds<true>(a, b, c, d, e, f, g, h, w, 0);
        sixteenRounds<false>(a, b, c, d, e, f, g, h, w, 16);
        sixteenRounds<false>(a, b, c, d, e, f, g, h, w, 32);
        sixteenRounds<false>(a, b, c, d, e, f, g, h, w, 48);
        state[0] += a;
        state[1] += b;
        state[2] += c;
        state[3] += d;
        state[4] += e;
        state[5] += f;
        state[6] += g;
        state[7] += h;
    }
    secureWipe(w, sizeof w);
}

void compress(std::uint32_t* state, const std::uint8_t* blocks, std::size_t count) {
    if (crypto::shaPath() == crypto::ShaPath::Hardware)
        sha256HardwareCompress(state, blocks, count);
    else
        compressPortable(state, blocks, count);
}

} // namespace

void Sha256::restart() noexcept {
    byteCountLow_ = 0;
    byteCountHigh_ = 0;
    std::memcpy(state_, INITIAL_STATE, sizeof state_);
    std::memset(block_, 0, sizeof block_);
    finished_ = 0;
}

void Sha256::reset() noexcept {
    restart();
    progress = nullptr;
}

void Sha256::clear() noexcept {
    secureWipe(&byteCountLow_, sizeof byteCountLow_);
    secureWipe(&byteCountHigh_, sizeof byteCountHigh_);
    secureWipe(state_, sizeof state_);
    secureWipe(block_, sizeof block_);
    finished_ = 0;
}

// Called after each compressed block: false when progress asks to cancel.
bool Sha256::blockDone() {
    if (progress == nullptr)
        return true;
    if (progress->cancel == 1)
        return false;
    progress->bytesDone += SHA256_BLOCK_SIZE;
    return true;
}

bool Sha256::update(const void* bytes, std::uint32_t n) {
    if (finished_ == 1)
        restart();
    const auto* in = static_cast<const std::uint8_t*>(bytes);
    std::uint32_t remaining = n;
    std::uint32_t position = byteCountLow_ % SHA256_BLOCK_SIZE;
    if (position != 0 && remaining != 0) {
        const std::uint32_t room = SHA256_BLOCK_SIZE - position;
        const std::uint32_t taken = remaining < room ? remaining : room;
        std::memcpy(block_ + position, in, taken);
        in += taken;
        remaining -= taken;
        position += taken;
        if (position == SHA256_BLOCK_SIZE) {
            compress(state_, block_, 1);
            std::memset(block_, 0, sizeof block_);
            if (!blockDone())
                return false;
        }
    }
    // Whole blocks are compressed straight from the input; with progress, one at a time.
    const std::uint32_t wholeBlocks = remaining / SHA256_BLOCK_SIZE;
    if (progress == nullptr) {
        compress(state_, in, wholeBlocks);
        in += std::size_t{wholeBlocks} * SHA256_BLOCK_SIZE;
    } else {
        for (std::uint32_t i = 0; i < wholeBlocks; ++i, in += SHA256_BLOCK_SIZE) {
            compress(state_, in, 1);
            if (!blockDone())
                return false;
        }
    }
    remaining %= SHA256_BLOCK_SIZE;
    if (remaining != 0)
        std::memcpy(block_, in, remaining);

    const std::uint32_t oldLow = byteCountLow_;
    byteCountLow_ += n;
    if (byteCountLow_ < oldLow)
        ++byteCountHigh_;
    finished_ = 0;
    return true;
}

void Sha256::finish() noexcept {
    const std::uint32_t position = byteCountLow_ % SHA256_BLOCK_SIZE;
    block_[position] = 0x80;
    if (position >= 56) {
        compress(state_, block_, 1);
        std::memset(block_, 0, sizeof block_);
    }
    const std::uint64_t bits = byteCount() * 8;
    for (unsigned i = 0; i < 8; ++i)
        block_[56 + i] = static_cast<std::uint8_t>(bits >> (56 - 8 * i));
    compress(state_, block_, 1);
    std::memset(block_, 0, sizeof block_);
    finished_ = 1;
}

SecureBuffer Sha256::digest() {
    if (finished_ == 0)
        finish();
    SecureBuffer result = SecureBuffer::zeros(SHA256_DIGEST_SIZE);
    std::uint8_t* out = result.data();
    for (unsigned i = 0; i < 8; ++i) {
        out[4 * i] = static_cast<std::uint8_t>(state_[i]);
        out[4 * i + 1] = static_cast<std::uint8_t>(state_[i] >> 8);
        out[4 * i + 2] = static_cast<std::uint8_t>(state_[i] >> 16);
        out[4 * i + 3] = static_cast<std::uint8_t>(state_[i] >> 24);
    }
    return result;
}

} // namespace kpv
