// Handling one status reply for 1 000 and for 65 535 accounts: parse the reply, open every
// sealed status, read its fields and hand every row to the user-interface port. Beside it,
// OpenSSL's EVP interface does the same openings and field reads, which is the floor the
// handler is measured against.
// The last lines are: reply_N ours=X openssl=Y ratio=Z (replies per second; ratio = ours /
// openssl, from CPU time so that a busy machine skews both alike), the same with our software
// paths (bit-sliced AES, portable SHA-256) against OpenSSL with its hardware paths masked off
// (reply_no_hw_N), and reply_N peak_kb=...:
// the most secure-heap memory the handler held at once.
#include "bench/child_run.h"
#include "crypto/crypto_paths.h"
#include "net/frame.h"
#include "status/management_act.h"
#include "tests/crypto/openssl_reference.h"
#include "tests/support/secure_heap_watch.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>

namespace {

namespace ref = kpv::reference;
using kpv::SecureBuffer;

const char* const CHILD_MARK = "KPV_STATUS_BENCH_CHILD";
const char* const RESULT_PREFIX = "KPV_RESULT ";

class DiscardingUi final : public kpv::StatusView {
  public:
    kpv::Answer showMessage(const char*, kpv::MessageKind) override { return kpv::Answer::Ok; }
    void clearRows() override { rows = 0; }
    void insertRow(std::uint32_t, const SecureBuffer* texts, const kpv::RowStatus&) override {
        rows += texts[0].length();
    }
    void exchangeFailed() override {}
    std::size_t rows = 0;
};

ref::Bytes secretFor(std::uint32_t i) {
    ref::Bytes s(32);
    for (std::uint32_t j = 0; j < 32; ++j)
        s[j] = static_cast<std::uint8_t>(i * 31 + j * 7);
    return s;
}

void putU32(ref::Bytes& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

std::uint32_t getU32(const ref::Bytes& in, std::size_t& at) {
    std::uint32_t v = 0;
    if (in.size() >= 4 && at <= in.size() - 4)
        for (int i = 0; i < 4; ++i)
            v |= std::uint32_t(in[at + static_cast<std::size_t>(i)]) << (8 * i);
    at += 4;
    return v;
}

// Everything one size needs: the account lists and the reply frame, sealed by OpenSSL.
struct Workload {
    kpv::AccountIdList ids;
    kpv::BufferList keys;
    kpv::BufferList names;
    std::vector<ref::Bytes> secrets;
    ref::Bytes frame;

    explicit Workload(std::uint32_t accounts) {
        ref::Bytes list;
        for (std::uint32_t i = 0; i < accounts; ++i) {
            secrets.push_back(secretFor(i));
            ids.append(i);
            keys.appendCopy(SecureBuffer::ofBytes(secrets.back().data(), 32));
            char name[32];
            std::snprintf(name, sizeof name, "Konto %u", static_cast<unsigned>(i));
            names.appendCopy(SecureBuffer::fromCString(name));
            ref::Bytes plain{0, 0};
            for (std::uint32_t v : {1700000000u + i, 1000u + i, 0u, 123456789u, 2u})
                putU32(plain, v);
            for (const char* excluded : {"pagefile.sys", "Thumbs.db"}) {
                const std::size_t n = std::strlen(excluded);
                putU32(plain, static_cast<std::uint32_t>(n + 1));
                plain.insert(plain.end(), excluded, excluded + n + 1);
            }
            plain.resize(100, 0x20); // a typical status of about 100 bytes
            const ref::Bytes iv(16, static_cast<std::uint8_t>(i));
            const ref::Sealed sealed = ref::seal(plain, secrets.back(), iv);
            putU32(list, static_cast<std::uint32_t>(sealed.payload.size()));
            list.insert(list.end(), sealed.payload.begin(), sealed.payload.end());
            putU32(list, static_cast<std::uint32_t>(sealed.tag.size()));
            list.insert(list.end(), sealed.tag.begin(), sealed.tag.end());
            for (std::uint32_t v : {0u, 1u << 30, 7u, 300u})
                putU32(list, v);
        }
        frame = {'C', 'H', 'K', 0, 0, 0, 0, 0, kpv::MSG_STATUS_REPLY, 0, 0, 0, 0, 0};
        putU32(frame, static_cast<std::uint32_t>(list.size()));
        frame.insert(frame.end(), list.begin(), list.end());
        const auto total = static_cast<std::uint32_t>(frame.size());
        for (int i = 0; i < 4; ++i)
            frame[4 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(total >> (8 * i));
    }
};

// Our handler, start to finish, as the exchange calls it.
std::size_t handleOnce(const Workload& w, DiscardingUi& ui) {
    kpv::AccountIdList excludedIds;
    kpv::BufferList excludedTexts;
    kpv::ManagementAct action(ui, static_cast<std::int32_t>(w.ids.length()), w.ids, w.keys, w.names,
                              &excludedIds, &excludedTexts, true);
    kpv::RecordStream reply(
        SecureBuffer::ofBytes(w.frame.data(), static_cast<std::uint32_t>(w.frame.size())));
    reply.cursor = kpv::FRAME_HEADER_SIZE;
    kpv::RecordStream next;
    std::uint8_t longIdle = 0;
    (void)action.handleReply(reply, next, longIdle);
    return excludedIds.length();
}

// The same walk through the reply with OpenSSL doing every opening.
std::size_t openWithOpenssl(const Workload& w, ref::Opener& opener) {
    std::size_t at = kpv::FRAME_HEADER_SIZE;
    const std::uint32_t listLength = getU32(w.frame, at);
    const ref::Bytes list(w.frame.begin() + static_cast<std::ptrdiff_t>(at),
                          w.frame.begin() + static_cast<std::ptrdiff_t>(at + listLength));
    std::size_t pos = 0;
    std::size_t opened = 0;
    ref::Bytes plain;
    for (std::size_t i = 0; i < w.secrets.size(); ++i) {
        const std::uint32_t sealedLength = getU32(list, pos);
        const ref::Bytes sealed(list.begin() + static_cast<std::ptrdiff_t>(pos),
                                list.begin() + static_cast<std::ptrdiff_t>(pos + sealedLength));
        pos += sealedLength;
        const std::uint32_t tagLength = getU32(list, pos);
        const ref::Bytes tag(list.begin() + static_cast<std::ptrdiff_t>(pos),
                             list.begin() + static_cast<std::ptrdiff_t>(pos + tagLength));
        pos += tagLength + 16;
        if (opener.open(sealed, w.secrets[i], tag, plain)) {
            std::size_t field = 2;
            opened += getU32(plain, field) != 0;
        }
    }
    return opened;
}

std::map<std::uint32_t, std::unique_ptr<Workload>>& workloads() {
    static std::map<std::uint32_t, std::unique_ptr<Workload>> all;
    return all;
}

const Workload& workload(std::uint32_t accounts) {
    auto& slot = workloads()[accounts];
    if (!slot)
        slot = std::make_unique<Workload>(accounts);
    return *slot;
}

void ours(benchmark::State& state) {
    const Workload& w = workload(static_cast<std::uint32_t>(state.range(0)));
    DiscardingUi ui;
    (void)handleOnce(w, ui); // the first run pays for the heap's first growth
    for (auto _ : state)
        benchmark::DoNotOptimize(handleOnce(w, ui));
    state.counters["accounts/s"] = benchmark::Counter(
        double(state.iterations()) * double(state.range(0)), benchmark::Counter::kIsRate);
}

// The same with our software paths: the constant-time bit-sliced AES and the portable SHA-256.
void ours_software(benchmark::State& state) {
    if (!kpv::crypto::forceAesPath(kpv::crypto::AesPath::BitslicedSsse3))
        kpv::crypto::forceAesPath(kpv::crypto::AesPath::BitslicedPortable);
    kpv::crypto::forceShaPath(kpv::crypto::ShaPath::Portable);
    ours(state);
    kpv::crypto::clearForcedPaths();
}

void openssl(benchmark::State& state) {
    const Workload& w = workload(static_cast<std::uint32_t>(state.range(0)));
    ref::Opener opener;
    (void)openWithOpenssl(w, opener);
    for (auto _ : state)
        benchmark::DoNotOptimize(openWithOpenssl(w, opener));
    state.counters["accounts/s"] = benchmark::Counter(
        double(state.iterations()) * double(state.range(0)), benchmark::Counter::kIsRate);
}

BENCHMARK(ours)->Arg(1000)->Arg(65535)->Unit(benchmark::kMillisecond);
BENCHMARK(ours_software)->Arg(1000)->Arg(65535)->Unit(benchmark::kMillisecond);
BENCHMARK(openssl)->Arg(1000)->Arg(65535)->Unit(benchmark::kMillisecond);

// Peak secure-heap bytes (every buffer of the client lives there) while handling one reply,
// beyond what the reply and the account lists already held.
std::size_t peakKilobytes(std::uint32_t accounts) {
    const Workload& w = workload(accounts);
    DiscardingUi ui;
    kpv::test::resetSecureHeapPeak();
    const std::size_t before = kpv::test::secureHeapUsage().liveBytes;
    (void)handleOnce(w, ui);
    return (kpv::test::secureHeapUsage().peakBytes - before) / 1024;
}

class Summary final : public benchmark::ConsoleReporter {
  public:
    // Plain tables: the summary lines after them are read by scripts.
    Summary() : ConsoleReporter(OO_Tabular) {}
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs)
            if (run.run_type == Run::RT_Iteration && run.cpu_accumulated_time > 0) {
                // The best of the repetitions: a busy machine only ever slows a run down.
                double& best = rates[run.benchmark_name()];
                best = std::max(best, double(run.iterations) / run.cpu_accumulated_time);
            }
    }
    std::map<std::string, double> rates;
};

// The OpenSSL side of one size again, in a child whose OpenSSL runs without its hardware
// paths (the mask is read once, when OpenSSL starts); its rate in replies per second, or 0.
double opensslRateWithoutHardware(std::uint32_t accounts) {
    char filter[64];
    std::snprintf(filter, sizeof filter, "--benchmark_filter=^openssl/%u$",
                  static_cast<unsigned>(accounts));
    const std::string output = kpv::bench::runChild(
        kpv::bench::selfPath(),
        {"status_bench", filter, "--benchmark_min_time=0.2", "--benchmark_repetitions=3",
         "--benchmark_color=false"},
        {"OPENSSL_ia32cap=~0x200000200000000:~0x20000000", std::string(CHILD_MARK) + "=1"});
    const std::size_t at = output.find(RESULT_PREFIX);
    return at == std::string::npos ? 0
                                   : std::atof(output.c_str() + at + std::strlen(RESULT_PREFIX));
}

void printComparison(const char* name, std::uint32_t accounts, double ours, double openssl) {
    std::printf("%s%u ours=%.2f openssl=%.2f ratio=%.2f\n", name, static_cast<unsigned>(accounts),
                ours, openssl, openssl > 0 ? ours / openssl : 0.0);
}

// Replies per second of one benchmark at one size, summed over its repetitions.
double rateOf(const std::map<std::string, double>& rates, const char* benchmark,
              std::uint32_t accounts) {
    char prefix[48];
    std::snprintf(prefix, sizeof prefix, "%s/%u", benchmark, static_cast<unsigned>(accounts));
    double rate = 0;
    for (const auto& [name, value] : rates)
        if (name.rfind(prefix, 0) == 0 &&
            (name.size() == std::strlen(prefix) || name[std::strlen(prefix)] == '/'))
            rate += value;
    return rate;
}

} // namespace

int main(int argc, char** argv) {
    // The handler writes time_list.bin into the working folder; keep it out of the way.
    const auto folder = std::filesystem::temp_directory_path() / "kpv-status-bench";
    std::filesystem::create_directories(folder);
    std::filesystem::current_path(folder);

    benchmark::Initialize(&argc, argv);
    Summary summary;
    benchmark::RunSpecifiedBenchmarks(&summary);
    benchmark::Shutdown();
    if (std::getenv(CHILD_MARK) != nullptr) {
        for (const std::uint32_t n : {1000u, 65535u})
            if (const double rate = rateOf(summary.rates, "openssl", n); rate > 0)
                std::printf("%s%.6g\n", RESULT_PREFIX, rate);
        return 0;
    }
    for (const std::uint32_t n : {1000u, 65535u}) {
        const double ours = rateOf(summary.rates, "ours", n);
        printComparison("reply_", n, ours, rateOf(summary.rates, "openssl", n));
        printComparison("reply_no_hw_", n, rateOf(summary.rates, "ours_software", n),
                        opensslRateWithoutHardware(n));
    }
    for (const std::uint32_t n : {1000u, 65535u})
        std::printf("reply_%u peak_kb=%zu\n", static_cast<unsigned>(n), peakKilobytes(n));
    return 0;
}
