#pragma once
// The bit-sliced AES rounds behind aes_bitsliced.h, written once over a 16-byte vector type and
// instantiated twice: with SSSE3 byte shuffles and with plain byte moves (see the two
// aes_bitsliced_*.cpp files). Every operation is a bitwise operation, a shift by a fixed count
// or a byte shuffle by a fixed public pattern, so neither the memory addresses touched nor the
// branches taken depend on key or data.
//
// Layout: eight blocks are processed at once. Plane b (0..7) is one vector whose byte j holds
// bit b of byte j of each block: bit k of that byte belongs to block k. Byte j of a block is
// the state's row j % 4, column j / 4 (FIPS 197 input order), so ShiftRows and the column
// rotations of MixColumns are the same byte shuffle in every plane.
#include "core/secure_memory.h"
#include "crypto/aes_key_expansion.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>

namespace kpv::bitsliced {

using Lanes = std::uint64_t __attribute__((vector_size(16)));

inline constexpr unsigned BATCH = 8; // blocks per run of the rounds

// A byte-shuffle pattern: output byte i is input byte PATTERN[i].
struct Pattern {
    alignas(16) std::uint8_t index[16];
};

inline constexpr Pattern SHIFT_ROWS = {{0, 5, 10, 15, 4, 9, 14, 3, 8, 13, 2, 7, 12, 1, 6, 11}};
inline constexpr Pattern INVERSE_SHIFT_ROWS = {
    {0, 13, 10, 7, 4, 1, 14, 11, 8, 5, 2, 15, 12, 9, 6, 3}};
// Row r of each column takes row r + 1 (resp. r + 2) of the same column.
inline constexpr Pattern ROTATE_ROWS_1 = {{1, 2, 3, 0, 5, 6, 7, 4, 9, 10, 11, 8, 13, 14, 15, 12}};
inline constexpr Pattern ROTATE_ROWS_2 = {{2, 3, 0, 1, 6, 7, 4, 5, 10, 11, 8, 9, 14, 15, 12, 13}};

// Engine over a policy S with `static Lanes shuffle(Lanes, const Pattern&)` and
// `template <unsigned ROWS> static Lanes rotateRows(Lanes)` (the ROTATE_ROWS_1/2 shuffles).
template <typename S>
struct Engine {
    static Lanes splat(std::uint64_t v) { return Lanes{v, v}; }

    static Lanes load(const std::uint8_t* p) {
        Lanes v;
        std::memcpy(&v, p, sizeof v);
        return v;
    }
    static void store(std::uint8_t* p, Lanes v) { std::memcpy(p, &v, sizeof v); }

    // Exchanges the bits of a selected by mask << shift with the bits of b selected by mask.
    template <unsigned SHIFT>
    static void swapBits(Lanes& a, Lanes& b, std::uint64_t mask) {
        const Lanes t = ((a >> SHIFT) ^ b) & splat(mask);
        b ^= t;
        a ^= t << SHIFT;
    }

    // Transposes, within every byte position, the 8x8 bit matrix of vector index and bit
    // index: blocks to planes and, applied again, planes to blocks.
    static void transpose(Lanes* v) {
        for (unsigned k = 0; k < 8; k += 2)
            swapBits<1>(v[k], v[k + 1], 0x5555555555555555);
        for (unsigned k : {0u, 1u, 4u, 5u})
            swapBits<2>(v[k], v[k + 2], 0x3333333333333333);
        for (unsigned k = 0; k < 4; ++k)
            swapBits<4>(v[k], v[k + 4], 0x0F0F0F0F0F0F0F0F);
    }

    // SubBytes on the eight planes: the 113-gate circuit of Boyar and Peralta (inversion in
    // GF(2^8) through a tower field, then the affine map). x0 is the most significant bit.
    static void subBytes(Lanes* q) {
        const Lanes x0 = q[7], x1 = q[6], x2 = q[5], x3 = q[4];
        const Lanes x4 = q[3], x5 = q[2], x6 = q[1], x7 = q[0];

        // Top linear layer.
        const Lanes y14 = x3 ^ x5, y13 = x0 ^ x6, y9 = x0 ^ x3, y8 = x0 ^ x5;
        const Lanes t0 = x1 ^ x2, y1 = t0 ^ x7, y4 = y1 ^ x3, y12 = y13 ^ y14;
        const Lanes y2 = y1 ^ x0, y5 = y1 ^ x6, y3 = y5 ^ y8, t1 = x4 ^ y12;
        const Lanes y15 = t1 ^ x5, y20 = t1 ^ x1, y6 = y15 ^ x7, y10 = y15 ^ t0;
        const Lanes y11 = y20 ^ y9, y7 = x7 ^ y11, y17 = y10 ^ y11, y19 = y10 ^ y8;
        const Lanes y16 = t0 ^ y11, y21 = y13 ^ y16, y18 = x0 ^ y16;

        // Non-linear middle: inversion in GF(2^4)^2.
        const Lanes t2 = y12 & y15, t3 = y3 & y6, t4 = t3 ^ t2, t5 = y4 & x7;
        const Lanes t6 = t5 ^ t2, t7 = y13 & y16, t8 = y5 & y1, t9 = t8 ^ t7;
        const Lanes t10 = y2 & y7, t11 = t10 ^ t7, t12 = y9 & y11, t13 = y14 & y17;
        const Lanes t14 = t13 ^ t12, t15 = y8 & y10, t16 = t15 ^ t12, t17 = t4 ^ t14;
        const Lanes t18 = t6 ^ t16, t19 = t9 ^ t14, t20 = t11 ^ t16, t21 = t17 ^ y20;
        const Lanes t22 = t18 ^ y19, t23 = t19 ^ y21, t24 = t20 ^ y18;
        const Lanes t25 = t21 ^ t22, t26 = t21 & t23, t27 = t24 ^ t26, t28 = t25 & t27;
        const Lanes t29 = t28 ^ t22, t30 = t23 ^ t24, t31 = t22 ^ t26, t32 = t31 & t30;
        const Lanes t33 = t32 ^ t24, t34 = t23 ^ t33, t35 = t27 ^ t33, t36 = t24 & t35;
        const Lanes t37 = t36 ^ t34, t38 = t27 ^ t36, t39 = t29 & t38, t40 = t25 ^ t39;
        const Lanes t41 = t40 ^ t37, t42 = t29 ^ t33, t43 = t29 ^ t40, t44 = t33 ^ t37;
        const Lanes t45 = t42 ^ t41;
        const Lanes z0 = t44 & y15, z1 = t37 & y6, z2 = t33 & x7, z3 = t43 & y16;
        const Lanes z4 = t40 & y1, z5 = t29 & y7, z6 = t42 & y11, z7 = t45 & y17;
        const Lanes z8 = t41 & y10, z9 = t44 & y12, z10 = t37 & y3, z11 = t33 & y4;
        const Lanes z12 = t43 & y13, z13 = t40 & y5, z14 = t29 & y2, z15 = t42 & y9;
        const Lanes z16 = t45 & y14, z17 = t41 & y8;

        // Bottom linear layer, with the affine constant folded in as complements.
        const Lanes t46 = z15 ^ z16, t47 = z10 ^ z11, t48 = z5 ^ z13, t49 = z9 ^ z10;
        const Lanes t50 = z2 ^ z12, t51 = z2 ^ z5, t52 = z7 ^ z8, t53 = z0 ^ z3;
        const Lanes t54 = z6 ^ z7, t55 = z16 ^ z17, t56 = z12 ^ t48, t57 = t50 ^ t53;
        const Lanes t58 = z4 ^ t46, t59 = z3 ^ t54, t60 = t46 ^ t57, t61 = z14 ^ t57;
        const Lanes t62 = t52 ^ t58, t63 = t49 ^ t58, t64 = z4 ^ t59, t65 = t61 ^ t62;
        const Lanes t66 = z1 ^ t63, t67 = t64 ^ t65;
        const Lanes s3 = t53 ^ t66;
        q[7] = t59 ^ t63;
        q[6] = t64 ^ ~s3;
        q[5] = t55 ^ ~t67;
        q[4] = s3;
        q[3] = t51 ^ t66;
        q[2] = t47 ^ t65;
        q[1] = t56 ^ ~t62;
        q[0] = t48 ^ ~t60;
    }

    // The inverse of the affine map: bit i = x[i+2] ^ x[i+5] ^ x[i+7] ^ bit i of 0x05.
    static void inverseAffine(Lanes* q) {
        Lanes x[8];
        for (unsigned i = 0; i < 8; ++i)
            x[i] = q[(i + 2) % 8] ^ q[(i + 5) % 8] ^ q[(i + 7) % 8];
        x[0] = ~x[0];
        x[2] = ~x[2];
        for (unsigned i = 0; i < 8; ++i)
            q[i] = x[i];
    }

    // InvSubBytes = inverse affine, inversion, inverse affine; the inversion is SubBytes
    // followed by the inverse affine map.
    static void inverseSubBytes(Lanes* q) {
        inverseAffine(q);
        subBytes(q);
        inverseAffine(q);
    }

    static void shuffleAll(Lanes* q, const Pattern& p) {
        for (unsigned i = 0; i < 8; ++i)
            q[i] = S::shuffle(q[i], p);
    }

    // Multiplication by x in GF(2^8), plane by plane.
    static void timesX(const Lanes* a, Lanes* out) {
        const Lanes top = a[7];
        out[7] = a[6];
        out[6] = a[5];
        out[5] = a[4];
        out[4] = a[3] ^ top;
        out[3] = a[2] ^ top;
        out[2] = a[1];
        out[1] = a[0] ^ top;
        out[0] = top;
    }

    // Row r of a column becomes 2a[r] ^ 3a[r+1] ^ a[r+2] ^ a[r+3], written as
    // 2t[r] ^ a[r+1] ^ t[r+2] with t[r] = a[r] ^ a[r+1].
    static void mixColumns(Lanes* a) {
        Lanes next[8], t[8], doubled[8];
        for (unsigned i = 0; i < 8; ++i) {
            next[i] = S::template rotateRows<1>(a[i]);
            t[i] = a[i] ^ next[i];
        }
        timesX(t, doubled);
        for (unsigned i = 0; i < 8; ++i)
            a[i] = doubled[i] ^ next[i] ^ S::template rotateRows<2>(t[i]);
    }

    // InvMixColumns is MixColumns after a[r] ^= 4(a[r] ^ a[r+2]).
    static void inverseMixColumns(Lanes* a) {
        Lanes u[8], twice[8], fourTimes[8];
        for (unsigned i = 0; i < 8; ++i)
            u[i] = a[i] ^ S::template rotateRows<2>(a[i]);
        timesX(u, twice);
        timesX(twice, fourTimes);
        for (unsigned i = 0; i < 8; ++i)
            a[i] ^= fourTimes[i];
        mixColumns(a);
    }

    static void addRoundKey(Lanes* q, const std::uint8_t* planes) {
        for (unsigned i = 0; i < 8; ++i)
            q[i] ^= load(planes + 16 * i);
    }

    // q holds BATCH blocks on entry and leaves with their encryptions (planes in between).
    static void encrypt(const std::uint8_t* roundKeys, unsigned rounds, Lanes* q) {
        transpose(q);
        addRoundKey(q, roundKeys);
        for (unsigned r = 1; r <= rounds; ++r) {
            subBytes(q);
            shuffleAll(q, SHIFT_ROWS);
            if (r != rounds)
                mixColumns(q);
            addRoundKey(q, roundKeys + 128 * r);
        }
        transpose(q);
    }

    static void decrypt(const std::uint8_t* roundKeys, unsigned rounds, Lanes* q) {
        transpose(q);
        addRoundKey(q, roundKeys + 128 * rounds);
        for (unsigned r = rounds; r-- > 0;) {
            shuffleAll(q, INVERSE_SHIFT_ROWS);
            inverseSubBytes(q);
            addRoundKey(q, roundKeys + 128 * r);
            if (r != 0)
                inverseMixColumns(q);
        }
        transpose(q);
    }

    // SubWord of the key expansion: the four bytes of w (any byte order) through the S-box.
    static std::uint32_t subWord(std::uint32_t w) {
        Lanes q[8] = {};
        q[0] = Lanes{w, 0};
        transpose(q);
        subBytes(q);
        transpose(q);
        const auto result = static_cast<std::uint32_t>(q[0][0]);
        secureWipe(q, sizeof q);
        return result;
    }

    // A round key as planes: each plane byte is 0xFF or 0x00 for all eight blocks alike.
    static void keyPlanes(const std::uint8_t* roundKey, std::uint8_t* planes) {
        Lanes q[8];
        for (Lanes& v : q)
            v = load(roundKey);
        transpose(q);
        for (unsigned i = 0; i < 8; ++i)
            store(planes + 16 * i, q[i]);
        secureWipe(q, sizeof q);
    }

    // Up to BATCH blocks from p into q; missing blocks are zero.
    static void loadBatch(const std::uint8_t* p, std::size_t count, Lanes* q) {
        for (unsigned k = 0; k < BATCH; ++k)
            q[k] = k < count ? load(p + 16 * k) : Lanes{0, 0};
    }

    static void expandKey(const std::uint8_t* key, std::uint32_t keyLength, std::uint32_t rounds,
                          std::uint8_t* roundKeys) {
        std::uint8_t schedule[AES_MAX_SCHEDULE_BYTES];
        expandAesKey(key, keyLength, rounds, schedule, [](std::uint32_t w) { return subWord(w); });
        for (std::uint32_t r = 0; r <= rounds; ++r)
            keyPlanes(schedule + 16 * r, roundKeys + 128 * r);
        secureWipe(schedule, sizeof schedule);
    }

    // ECB over count blocks in place, BATCH at a time.
    template <bool ENCRYPT>
    static void blocks(const std::uint8_t* roundKeys, std::uint32_t rounds, std::uint8_t* data,
                       std::size_t count) {
        Lanes q[BATCH];
        for (; count > 0;) {
            const std::size_t n = count < BATCH ? count : BATCH;
            loadBatch(data, n, q);
            if (ENCRYPT)
                encrypt(roundKeys, rounds, q);
            else
                decrypt(roundKeys, rounds, q);
            for (unsigned k = 0; k < n; ++k)
                store(data + 16 * k, q[k]);
            data += 16 * n;
            count -= n;
        }
        secureWipe(q, sizeof q);
    }

    // CBC decryption of count blocks in place; chain is the vector on entry and the last
    // ciphertext block on return. The ciphertext of a batch is kept before it is overwritten.
    static void decryptCbc(const std::uint8_t* roundKeys, std::uint32_t rounds, std::uint8_t* chain,
                           std::uint8_t* data, std::size_t count) {
        Lanes ciphertext[BATCH];
        Lanes q[BATCH];
        Lanes previous = load(chain);
        for (; count > 0;) {
            const std::size_t n = count < BATCH ? count : BATCH;
            loadBatch(data, n, ciphertext);
            for (unsigned k = 0; k < BATCH; ++k)
                q[k] = ciphertext[k];
            decrypt(roundKeys, rounds, q);
            for (unsigned k = 0; k < n; ++k) {
                store(data + 16 * k, q[k] ^ previous);
                previous = ciphertext[k];
            }
            data += 16 * n;
            count -= n;
        }
        store(chain, previous);
        secureWipe(q, sizeof q);
        secureWipe(ciphertext, sizeof ciphertext);
    }
};

} // namespace kpv::bitsliced
