// Throughput of the system's SHA-256 and AES-256-CBC decryption, and openSealedStatus calls per
// second, each beside OpenSSL's EVP interface doing the same work. OpenSSL is measured as it
// runs by default and, in child runs of this program, with its hardware paths masked off
// (OPENSSL_ia32cap is read once when OpenSSL starts, so it cannot change within one process).
// The lines with masked hardware (_no_aesni, _no_shani, _no_hw) measure our software paths: the
// constant-time bit-sliced AES (SSSE3 build) and the portable SHA-256.
// The last lines compare the figures: NAME ours=X openssl=Y ratio=Z (ratio = ours / openssl).
#include "bench/child_run.h"
#include "crypto/aes_cipher.h"
#include "crypto/crypto_paths.h"
#include "crypto/sealed_status.h"
#include "crypto/sha256.h"
#include "tests/crypto/openssl_reference.h"

#include <benchmark/benchmark.h>
#include <openssl/evp.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace ref = kpv::reference;
using kpv::SecureBuffer;

constexpr std::uint32_t THROUGHPUT_SIZE = 16384; // bytes per call, as "openssl speed" uses
constexpr std::uint32_t STATUS_SIZE = 100;       // a typical status record
const char* const CHILD_MARK = "KPV_BENCH_CHILD";
const char* const RESULT_PREFIX = "KPV_RESULT ";

ref::Bytes pattern(std::size_t n, unsigned seed) {
    ref::Bytes out(n);
    for (std::size_t i = 0; i < n; ++i)
        out[i] = static_cast<std::uint8_t>((i * 131 + seed * 7 + (i >> 8)) & 0xff);
    return out;
}

SecureBuffer buffer(const ref::Bytes& b) {
    return SecureBuffer::ofBytes(b.data(), static_cast<std::uint32_t>(b.size()));
}

const ref::Bytes KEY = pattern(32, 1);
const ref::Bytes IV = pattern(16, 2);

// A CBC ciphertext whose plaintext ends in 0, so decryption removes no padding.
ref::Bytes cbcCiphertext() {
    ref::Bytes plain = pattern(THROUGHPUT_SIZE, 3);
    plain.back() = 0;
    return ref::cbcEncrypt(KEY, IV, plain);
}

// Our software paths for as long as it lives: the constant-time bit-sliced AES (SSSE3 build)
// and the portable SHA-256.
struct SoftwarePaths {
    SoftwarePaths() {
        if (!kpv::crypto::forceAesPath(kpv::crypto::AesPath::BitslicedSsse3))
            kpv::crypto::forceAesPath(kpv::crypto::AesPath::BitslicedPortable);
        kpv::crypto::forceShaPath(kpv::crypto::ShaPath::Portable);
    }
    ~SoftwarePaths() { kpv::crypto::clearForcedPaths(); }
    SoftwarePaths(const SoftwarePaths&) = delete;
    SoftwarePaths& operator=(const SoftwarePaths&) = delete;
};

void ours_sha256(benchmark::State& state) {
    const SecureBuffer data = buffer(pattern(THROUGHPUT_SIZE, 4));
    for (auto _ : state) {
        kpv::Sha256 hash;
        hash.update(data);
        SecureBuffer digest = hash.digest();
        benchmark::DoNotOptimize(digest.data());
    }
    state.SetBytesProcessed(state.iterations() * THROUGHPUT_SIZE);
}

void ours_sha256_software(benchmark::State& state) {
    const SoftwarePaths software;
    ours_sha256(state);
}

void openssl_sha256(benchmark::State& state) {
    const ref::Bytes data = pattern(THROUGHPUT_SIZE, 4);
    ref::Opener opener;
    std::uint8_t digest[32];
    for (auto _ : state) {
        opener.digest(data.data(), data.size(), digest);
        benchmark::DoNotOptimize(digest);
    }
    state.SetBytesProcessed(state.iterations() * THROUGHPUT_SIZE);
}

void ours_aes256_cbc_decrypt(benchmark::State& state) {
    const SecureBuffer ciphertext = buffer(cbcCiphertext());
    kpv::AesCipher cipher(buffer(KEY));
    for (auto _ : state) {
        SecureBuffer data = ciphertext;
        cipher.setIv(IV.data());
        if (!cipher.decryptCbc(data))
            state.SkipWithError("decryptCbc failed");
        benchmark::DoNotOptimize(data.data());
    }
    state.SetBytesProcessed(state.iterations() * THROUGHPUT_SIZE);
}

void ours_aes256_cbc_decrypt_software(benchmark::State& state) {
    const SoftwarePaths software;
    ours_aes256_cbc_decrypt(state);
}

void openssl_aes256_cbc_decrypt(benchmark::State& state) {
    const ref::Bytes ciphertext = cbcCiphertext();
    ref::Bytes out(ciphertext.size() + 16);
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    // The key schedule is prepared once, as for our cipher; each call only sets the vector.
    EVP_DecryptInit_ex(ctx, EVP_aes_256_cbc(), nullptr, KEY.data(), IV.data());
    EVP_CIPHER_CTX_set_padding(ctx, 0);
    for (auto _ : state) {
        int n1 = 0;
        int n2 = 0;
        if (EVP_DecryptInit_ex(ctx, nullptr, nullptr, nullptr, IV.data()) != 1 ||
            EVP_DecryptUpdate(ctx, out.data(), &n1, ciphertext.data(),
                              static_cast<int>(ciphertext.size())) != 1 ||
            EVP_DecryptFinal_ex(ctx, out.data() + n1, &n2) != 1)
            state.SkipWithError("EVP decryption failed");
        benchmark::DoNotOptimize(out.data());
    }
    EVP_CIPHER_CTX_free(ctx);
    state.SetBytesProcessed(state.iterations() * THROUGHPUT_SIZE);
}

const ref::Sealed& sealedStatus() {
    static const ref::Sealed sealed = ref::seal(pattern(STATUS_SIZE, 5), KEY, IV);
    return sealed;
}

void ours_open_sealed_status(benchmark::State& state) {
    const SecureBuffer payload = buffer(sealedStatus().payload);
    const SecureBuffer tag = buffer(sealedStatus().tag);
    const SecureBuffer secret = buffer(KEY);
    for (auto _ : state) {
        SecureBuffer data = payload;
        if (!kpv::openSealedStatus(data, secret, tag))
            state.SkipWithError("openSealedStatus failed");
        benchmark::DoNotOptimize(data.data());
    }
    state.SetItemsProcessed(state.iterations());
}

void ours_open_sealed_status_software(benchmark::State& state) {
    const SoftwarePaths software;
    ours_open_sealed_status(state);
}

void openssl_open_sealed_status(benchmark::State& state) {
    ref::Opener opener;
    ref::Bytes plaintext;
    for (auto _ : state) {
        if (!opener.open(sealedStatus().payload, KEY, sealedStatus().tag, plaintext))
            state.SkipWithError("reference open failed");
        benchmark::DoNotOptimize(plaintext.data());
    }
    state.SetItemsProcessed(state.iterations());
}

BENCHMARK(ours_sha256);
BENCHMARK(ours_sha256_software);
BENCHMARK(openssl_sha256);
BENCHMARK(ours_aes256_cbc_decrypt);
BENCHMARK(ours_aes256_cbc_decrypt_software);
BENCHMARK(openssl_aes256_cbc_decrypt);
BENCHMARK(ours_open_sealed_status);
BENCHMARK(ours_open_sealed_status_software);
BENCHMARK(openssl_open_sealed_status);

// Console output as usual, and each benchmark's rate (bytes or items per second) kept.
class RateReporter : public benchmark::ConsoleReporter {
  public:
    std::map<std::string, double> rates;

    // Plain tables: the summary lines after them are read by scripts.
    RateReporter() : ConsoleReporter(OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration || run.error_occurred)
                continue;
            for (const char* counter : {"bytes_per_second", "items_per_second"}) {
                const auto found = run.counters.find(counter);
                if (found != run.counters.end()) {
                    // The best of the repetitions: a busy machine only ever slows a run down.
                    double& best = rates[run.benchmark_name()];
                    best = std::max(best, double(found->second.value));
                }
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
};

struct Comparison {
    const char* name;
    const char* ours;
    const char* openssl;
    const char* mask; // OPENSSL_ia32cap for the OpenSSL side; null: as it runs by default
    double unit;      // divisor for the printed figures
};

const Comparison COMPARISONS[] = {
    {"sha256_MBps", "ours_sha256", "openssl_sha256", nullptr, 1e6},
    {"sha256_no_shani_MBps", "ours_sha256_software", "openssl_sha256", ":~0x20000000", 1e6},
    {"aes256_cbc_decrypt_MBps", "ours_aes256_cbc_decrypt", "openssl_aes256_cbc_decrypt", nullptr,
     1e6},
    {"aes256_cbc_decrypt_no_aesni_MBps", "ours_aes256_cbc_decrypt_software",
     "openssl_aes256_cbc_decrypt", "~0x200000200000000", 1e6},
    {"open_sealed_status_calls_per_s", "ours_open_sealed_status", "openssl_open_sealed_status",
     nullptr, 1},
    {"open_sealed_status_no_hw_calls_per_s", "ours_open_sealed_status_software",
     "openssl_open_sealed_status", "~0x200000200000000:~0x20000000", 1},
};

// Runs one OpenSSL benchmark in a child with the given capability mask; its rate, or 0.
double rateInChild(const std::vector<std::string>& forwarded, const std::string& benchmark,
                   const std::string& mask) {
    std::vector<std::string> args = {"crypto_bench"};
    args.insert(args.end(), forwarded.begin(), forwarded.end());
    args.push_back("--benchmark_filter=^" + benchmark + "$");
    args.push_back("--benchmark_color=false");
    std::printf("--- %s with OPENSSL_ia32cap=%s (child run)\n", benchmark.c_str(), mask.c_str());
    std::fflush(stdout);
    const std::string output = kpv::bench::runChild(
        kpv::bench::selfPath(), args, {"OPENSSL_ia32cap=" + mask, std::string(CHILD_MARK) + "=1"});
    double rate = 0;
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        const std::size_t at = line.find(RESULT_PREFIX);
        if (at != std::string::npos) {
            std::istringstream fields(line.substr(at + std::string(RESULT_PREFIX).size()));
            std::string name;
            double value = 0;
            if (fields >> name >> value && name == benchmark)
                rate = value;
        } else {
            std::printf("%s\n", line.c_str());
        }
    }
    return rate;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> forwarded;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.rfind("--benchmark_filter", 0) != 0 && arg.rfind("--benchmark_out", 0) != 0)
            forwarded.push_back(arg);
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    RateReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    if (std::getenv(CHILD_MARK) != nullptr) {
        for (const auto& [name, rate] : reporter.rates)
            std::printf("%s%s %.6g\n", RESULT_PREFIX, name.c_str(), rate);
        return 0;
    }

    std::vector<std::string> lines;
    for (const Comparison& c : COMPARISONS) {
        const auto ours = reporter.rates.find(c.ours);
        if (ours == reporter.rates.end())
            continue;
        double openssl = 0;
        if (c.mask == nullptr) {
            const auto found = reporter.rates.find(c.openssl);
            openssl = found == reporter.rates.end() ? 0 : found->second;
        } else {
            openssl = rateInChild(forwarded, c.openssl, c.mask);
        }
        if (openssl <= 0)
            continue;
        char line[256];
        std::snprintf(line, sizeof line, "%s ours=%.1f openssl=%.1f ratio=%.2f", c.name,
                      ours->second / c.unit, openssl / c.unit, ours->second / openssl);
        lines.push_back(line);
    }
    for (const std::string& line : lines)
        std::printf("%s\n", line.c_str());
    return 0;
}
