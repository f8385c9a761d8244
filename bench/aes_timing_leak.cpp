// Timing-leak check of the AES paths in the style of dudect: measurements of two classes of
// input, interleaved at random, compared with Welch's t-test.
//   key class:  key expansion plus CBC decryption of 8 blocks under one fixed key, against the
//               same under a fresh random key each time;
//   data class: CBC decryption of one fixed ciphertext, against a fresh random one each time.
// |t| above 4.5 is the usual sign of a leak; below it, none was found in that many
// measurements. The largest |t| over the raw data and over the measurements cropped at a few
// percentiles (which removes interrupts and other long outliers) is printed per path, and for
// a control with key-indexed table lookups that must show a leak.
// Not a unit test: its result depends on the machine, so nothing fails on it.
// Usage: aes_timing_leak [seconds per path and class, default 5]
#include "crypto/aes_bitsliced.h"
#include "crypto/aes_hardware.h"
#include "crypto/crypto_paths.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>
#include <vector>

#if defined(__x86_64__)
#include <x86intrin.h>
#endif

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::size_t BLOCKS = 8;
constexpr std::size_t BATCH = 4096; // measurements between two looks at the clock

std::uint64_t ticks() {
#if defined(__x86_64__)
    unsigned aux = 0;
    return __rdtscp(&aux);
#else
    return static_cast<std::uint64_t>(Clock::now().time_since_epoch().count());
#endif
}

struct Welch {
    double n[2] = {}, mean[2] = {}, m2[2] = {};
    void add(int cls, double x) {
        n[cls] += 1;
        const double delta = x - mean[cls];
        mean[cls] += delta / n[cls];
        m2[cls] += delta * (x - mean[cls]);
    }
    double t() const {
        if (n[0] < 2 || n[1] < 2)
            return 0;
        const double v0 = m2[0] / (n[0] - 1), v1 = m2[1] / (n[1] - 1);
        return (mean[0] - mean[1]) / std::sqrt(v0 / n[0] + v1 / n[1]);
    }
};

// One measured operation: class 0 or 1, inputs prepared outside the measurement.
using Operation = std::function<void(const std::uint8_t* key, std::uint8_t* data)>;

double largestT(const Operation& operation, bool randomKeys, double seconds) {
    std::mt19937_64 random(12345);
    std::vector<std::uint8_t> keys(BATCH * 32), data(BATCH * 16 * BLOCKS);
    std::vector<int> classes(BATCH);
    std::vector<double> times;
    std::vector<int> timeClasses;
    std::vector<std::uint8_t> fixedKey(32, 0x5a), fixedData(16 * BLOCKS, 0xa5);
    const auto end = Clock::now() + std::chrono::duration<double>(seconds);
    while (Clock::now() < end) {
        for (std::size_t i = 0; i < BATCH; ++i) {
            classes[i] = static_cast<int>(random() & 1);
            for (std::size_t j = 0; j < 32; ++j)
                keys[32 * i + j] = (randomKeys && classes[i] == 1)
                                       ? static_cast<std::uint8_t>(random())
                                       : fixedKey[j];
            for (std::size_t j = 0; j < 16 * BLOCKS; ++j)
                data[16 * BLOCKS * i + j] = (!randomKeys && classes[i] == 1)
                                                ? static_cast<std::uint8_t>(random())
                                                : fixedData[j];
        }
        for (std::size_t i = 0; i < BATCH; ++i) {
            const std::uint64_t start = ticks();
            operation(&keys[32 * i], &data[16 * BLOCKS * i]);
            const std::uint64_t stop = ticks();
            times.push_back(static_cast<double>(stop - start));
            timeClasses.push_back(classes[i]);
        }
    }
    std::vector<double> sorted = times;
    std::sort(sorted.begin(), sorted.end());
    double largest = 0;
    for (double percentile : {1.0, 0.99, 0.9, 0.75, 0.5}) {
        const double cut = sorted[static_cast<std::size_t>(percentile * double(sorted.size() - 1))];
        Welch welch;
        for (std::size_t i = 0; i < times.size(); ++i)
            if (times[i] <= cut)
                welch.add(timeClasses[i], times[i]);
        largest = std::max(largest, std::fabs(welch.t()));
    }
    std::printf("    %zu measurements", times.size());
    return largest;
}

void check(const char* name, const kpv::BitslicedAes& aes, double seconds) {
    constexpr std::uint32_t ROUNDS = 14;
    std::uint8_t roundKeys[kpv::AES_BITSLICED_ROUND_KEY_BYTES * (ROUNDS + 1)];
    const Operation operation = [&](const std::uint8_t* key, std::uint8_t* data) {
        std::uint8_t chain[16] = {};
        aes.expandKey(key, 32, ROUNDS, roundKeys);
        aes.decryptCbc(roundKeys, ROUNDS, chain, data, BLOCKS);
    };
    std::printf("%s\n  fixed vs random key:", name);
    const double keyT = largestT(operation, true, seconds);
    std::printf(", largest |t| = %.2f\n  fixed vs random data:", keyT);
    const double dataT = largestT(operation, false, seconds);
    std::printf(", largest |t| = %.2f\n", dataT);
}

#if defined(__x86_64__)
void checkHardware(double seconds) {
    constexpr std::uint32_t ROUNDS = 14;
    std::uint8_t encryption[16 * (ROUNDS + 1)], decryption[16 * (ROUNDS + 1)];
    const Operation operation = [&](const std::uint8_t* key, std::uint8_t* data) {
        std::uint8_t chain[16] = {};
        kpv::aesHardwareExpandKey(key, 32, ROUNDS, encryption, decryption);
        kpv::aesHardwareDecryptCbc(decryption, ROUNDS, chain, data, BLOCKS);
    };
    std::printf("AES instructions\n  fixed vs random key:");
    const double keyT = largestT(operation, true, seconds);
    std::printf(", largest |t| = %.2f\n  fixed vs random data:", keyT);
    const double dataT = largestT(operation, false, seconds);
    std::printf(", largest |t| = %.2f\n", dataT);
}
#endif

// A control that does leak, to show the measurement can see one: 16 loads from a 64 KB table
// at offsets taken from the key, as a table-driven cipher's first round does. A fixed key keeps
// hitting the same cache lines; random keys spread over a table larger than the first-level
// cache.
void checkControl(double seconds) {
    static std::uint8_t table[65536];
    for (std::size_t i = 0; i < sizeof table; ++i) // written, so its pages are its own
        table[i] = static_cast<std::uint8_t>(i * 7);
    volatile std::uint8_t sink = 0;
    const Operation operation = [&](const std::uint8_t* key, std::uint8_t*) {
        std::uint8_t sum = 0;
        for (unsigned i = 0; i < 16; ++i)
            sum = static_cast<std::uint8_t>(sum + table[key[2 * i] << 8 | key[2 * i + 1]]);
        sink = sum;
    };
    std::printf("control: key-indexed table lookups (should show a leak)\n  fixed vs random key:");
    std::printf(", largest |t| = %.2f\n", largestT(operation, true, seconds));
    (void)sink;
}

} // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 5.0;
#if defined(__x86_64__)
    if (kpv::crypto::ssse3Available())
        check("bit-sliced, SSSE3", kpv::BITSLICED_AES_SSSE3, seconds);
    if (kpv::crypto::hardwareAesAvailable())
        checkHardware(seconds);
#endif
    check("bit-sliced, portable", kpv::BITSLICED_AES_PORTABLE, seconds);
    checkControl(seconds);
    std::printf("|t| > 4.5 suggests a timing leak; smaller values found none.\n");
    return 0;
}
