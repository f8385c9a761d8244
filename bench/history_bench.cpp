// The history at its bound and the judgement over it: recording 2 000 updates of 65 535
// accounts, judging every account against its previous copy, and saving and loading the
// whole history.bin. The history never holds more than MAX_HISTORY_RECORDS records, so 65 535
// accounts keep their share each (15 records) while 500 accounts keep all 2 000: both sizes
// are measured, to show the cost is linear in accounts x records held.
// The last lines are: history_<what>_<accounts>x<records> ours=X ns_per_account.
#include "status/account_state.h"
#include "status/history_file.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using kpv::AccountHistory;
using kpv::RowStatus;

constexpr std::uint32_t START = 1800000000;

RowStatus copyAt(std::uint32_t time, std::uint32_t round) {
    RowStatus status;
    status.opened = true;
    status.lastCopyTime = time;
    status.fileCount = 1000 + round;
    status.totalSize = 1000000ull + round * 1000ull;
    status.storedCopies = 30;
    return status;
}

struct Workload {
    std::vector<std::uint32_t> ids;
    AccountHistory history;
    std::uint32_t rounds;
    double recordNsPerAccount = 0; // per account and update
};

Workload build(std::uint32_t accounts, std::uint32_t rounds) {
    Workload w;
    w.rounds = rounds;
    for (std::uint32_t i = 0; i < accounts; ++i)
        w.ids.push_back(i * 3 + 1);
    const auto started = std::chrono::steady_clock::now();
    for (std::uint32_t round = 0; round < rounds; ++round) {
        const std::uint32_t at = START + round * 600;
        w.history.startUpdate(w.ids, at);
        for (const std::uint32_t id : w.ids)
            w.history.record(id, copyAt(at, round), at);
    }
    const std::chrono::duration<double, std::nano> took =
        std::chrono::steady_clock::now() - started;
    w.recordNsPerAccount = took.count() / (double(accounts) * rounds);
    return w;
}

// What the client does for one reply's rows: the previous copy, then the judgement.
unsigned judgeAll(const Workload& w) {
    kpv::AccountContext context;
    context.now = START + w.rounds * 600;
    unsigned raised = 0;
    for (const std::uint32_t id : w.ids) {
        RowStatus status = copyAt(START + w.rounds * 600, w.rounds);
        status.previous = w.history.previousCopyOf(id, status);
        raised += kpv::assessAccount(status, context).raisedRules;
    }
    return raised;
}

template <typename Body>
double nanosecondsPerAccount(const Workload& w, Body body) {
    const auto started = std::chrono::steady_clock::now();
    body();
    const std::chrono::duration<double, std::nano> took =
        std::chrono::steady_clock::now() - started;
    return took.count() / double(w.ids.size());
}

void summary(const char* what, const Workload& w, double ns) {
    std::printf("history_%s_%zux%zu ours=%.1f ns_per_account\n", what, w.ids.size(),
                w.history.recordsOf(w.ids[0]).size(), ns);
}

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    const std::filesystem::path file =
        std::filesystem::temp_directory_path() / "kpv-history-bench.bin";
    const std::string path = file.string();
    std::vector<Workload> loads;
    loads.push_back(build(65535, kpv::MAX_RECORDS_PER_ACCOUNT));
    loads.push_back(build(500, kpv::MAX_RECORDS_PER_ACCOUNT));
    for (Workload& w : loads) {
        const std::string size = std::to_string(w.ids.size());
        benchmark::RegisterBenchmark(("judge/" + size).c_str(), [&w](benchmark::State& state) {
            for (auto _ : state)
                benchmark::DoNotOptimize(judgeAll(w));
            state.counters["accounts"] = double(w.ids.size());
        })->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("save/" + size).c_str(), [&w, path](benchmark::State& state) {
            for (auto _ : state)
                benchmark::DoNotOptimize(kpv::saveHistory(w.history, path.c_str()));
        })->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("load/" + size).c_str(), [&w, path](benchmark::State& state) {
            (void)kpv::saveHistory(w.history, path.c_str());
            for (auto _ : state)
                benchmark::DoNotOptimize(kpv::loadHistory(path.c_str()).recordCount());
        })->Unit(benchmark::kMillisecond);
    }
    benchmark::RunSpecifiedBenchmarks();
    for (const Workload& w : loads) {
        summary("record", w, w.recordNsPerAccount);
        summary("judge", w,
                nanosecondsPerAccount(w, [&] { benchmark::DoNotOptimize(judgeAll(w)); }));
        summary("save", w, nanosecondsPerAccount(w, [&] {
                    benchmark::DoNotOptimize(kpv::saveHistory(w.history, path.c_str()));
                }));
        summary("load", w, nanosecondsPerAccount(w, [&] {
                    benchmark::DoNotOptimize(kpv::loadHistory(path.c_str()).recordCount());
                }));
    }
    std::filesystem::remove(file);
    benchmark::Shutdown();
    return 0;
}
