// Freeze and melt on a 1,000,000-item world-save against the physical floor measured in
// the same run: copying the world-save once (plus reading and writing the index once, for
// the freeze). Every write on both sides is made durable (flushed to the disk before the
// rename), because that is what a safe rewrite costs.
#include "core/atomic_file.h"
#include "support/classic_world.h"
#include "core/file_system.h"
#include "core/static_index.h"
#include "tools/synthetic_world.h"
#include "core/world.h"
#include "worldsave/freeze.h"
#include "worldsave/melt.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <time.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace tq;
namespace fs = std::filesystem;

constexpr int Items = 1'000'000;

// A mkworld world in a temporary folder: pristine files, and working copies each run
// starts from. Its world-save has 1,000,000 items, 50,396 of them TYPE 255, in 27,683
// blocks. Section numbers run 0..999,999, and items are keyed by their number modulo
// 65536, so the "type 255" freeze also takes every item that shares a key with a
// selected one: 545,076 items leave the world-save.
class World {
public:
    World() {
        dir_ = fs::temp_directory_path() / ("tq-worldsave-bench-" + std::to_string(::getpid()));
        fs::create_directories(dir_ / "pristine");
        makeSyntheticWorld((dir_ / "pristine").string(), Items, 1);
        staidx = (dir_ / "staidx0.mul").string();
        statics = (dir_ / "statics0.mul").string();
        wsc = (dir_ / "items.wsc").string();
        pat = (dir_ / "out.pat").string();
        copy = (dir_ / "copy.wsc").string();
        wscBytes = fs::file_size(dir_ / "pristine" / "items.wsc");
        // The melted block: the first one with at least five statics.
        auto index = newStaticIndex();
        LoadStaticIndex((dir_ / "pristine" / "staidx0.mul").string(), *index);
        for (int b = 0; b < BlockCount && meltX < 0; ++b) {
            const TStaticIndexRec& e = index->at(b / BlocksY, b % BlocksY);
            if (e.Start != -1 && e.Length >= 5 * StaticRecSize) {
                meltX = b / BlocksY;
                meltY = b % BlocksY;
            }
        }
    }
    ~World() {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    // Back to the pristine files, flushed, so no write-back of the restore runs in a timed part.
    void restore() {
        for (const char* name : {"staidx0.mul", "statics0.mul", "items.wsc"})
            fs::copy_file(dir_ / "pristine" / name, dir_ / name, fs::copy_options::overwrite_existing);
        std::error_code ec;
        fs::remove(pat, ec);
        fs::remove(copy, ec);
        ::sync();
    }

    std::string staidx, statics, wsc, pat, copy;
    uint64_t wscBytes = 0;
    int meltX = -1, meltY = -1;

private:
    fs::path dir_;
};

World& world() {
    static World w;
    return w;
}

// Peak resident memory since the last reset (Linux: clear_refs 5 resets VmHWM).
void resetPeakMemory() { std::ofstream("/proc/self/clear_refs") << "5"; }
double peakMemoryMB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::stod(line.substr(6)) / 1024.0;
    return 0;
}

// Each iteration measures the floor and the operation back to back from the same
// pristine files, so both see the same load on the machine; the ratio reported is the
// median of the iterations' ratios (wall time, and processor time beside it).
struct Pair {
    double floor = 0, op = 0, floorCpu = 0, opCpu = 0;
};
struct Results {
    std::vector<Pair> freeze, melt;
    double freezePeakMB = 0;
    int64_t selected = 0, blocks = 0, itemsLeft = 0;
} results;

struct Clock {
    std::chrono::steady_clock::time_point wall = std::chrono::steady_clock::now();
    double cpu = processSeconds();
    static double processSeconds() {
        timespec t{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
        return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
    }
    double wallSeconds() const {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - wall).count();
    }
    double cpuSeconds() const { return processSeconds() - cpu; }
};

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}
double medianRatio(const std::vector<Pair>& pairs, bool cpu) {
    std::vector<double> r;
    for (const Pair& p : pairs) r.push_back(cpu ? p.opCpu / p.floorCpu : p.op / p.floor);
    return median(r);
}

// The durable copy a safe rewrite cannot beat: read whole, write a new file, flush, rename.
void copyFileDurably(const std::string& from, const std::string& to) {
    const std::string bytes = readWholeFile(from);
    writeFileAtomic(to, bytes);
}

// The "type 255" freeze of the 1,000,000-item world-save, with a patch file, against the
// world-save copied once plus the index read and written once.
void BM_Freeze1MItems(benchmark::State& state) {
    World& w = world();
    auto index = newStaticIndex();
    FreezeOptions options;
    options.staidxPath = w.staidx;
    options.staticsPath = w.statics;
    options.worldSavePath = w.wsc;
    options.rule = SelectionRule::Type255;
    options.writePat = true;
    options.patPath = w.pat;
    for (auto _ : state) {
        Pair pair;
        w.restore();
        {
            const Clock clock;
            copyFileDurably(w.wsc, w.copy);
            LoadStaticIndex(w.staidx, *index);
            SaveStaticIndex(w.staidx, *index);
            pair.floor = clock.wallSeconds();
            pair.floorCpu = clock.cpuSeconds();
        }
        w.restore();
        LoadStaticIndex(w.staidx, *index);
        results.selected = results.blocks = 0;
        resetPeakMemory();
        {
            const Clock clock;
            FreezeWorld(options, *index, {}, [](const std::string& line) {
                if (line[0] == 'S') ++results.selected;
                else if (line[0] == 'E') ++results.blocks;
            });
            pair.op = clock.wallSeconds();
            pair.opCpu = clock.cpuSeconds();
        }
        results.freezePeakMB = std::max(results.freezePeakMB, peakMemoryMB());
        results.freeze.push_back(pair);
        state.SetIterationTime(pair.op);
    }
    const std::string left = readWholeFile(w.wsc);
    results.itemsLeft = 0;
    for (size_t at = left.find("SECTION WORLDITEM "); at != std::string::npos; at = left.find("SECTION WORLDITEM ", at + 1))
        ++results.itemsLeft;
    state.counters["ratio"] = medianRatio(results.freeze, false);
    state.counters["cpu_ratio"] = medianRatio(results.freeze, true);
    state.counters["peak_MB"] = results.freezePeakMB;
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(w.wscBytes));
}
BENCHMARK(BM_Freeze1MItems)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);

// The statics of one block appended to the 1,000,000-item world-save and the index saved,
// against the world-save copied once.
void BM_MeltOneBlock1MItems(benchmark::State& state) {
    World& w = world();
    auto index = newStaticIndex();
    MeltOptions options;
    options.staidxPath = w.staidx;
    options.staticsPath = w.statics;
    options.worldSavePath = w.wsc;
    for (auto _ : state) {
        Pair pair;
        w.restore();
        {
            const Clock clock;
            copyFileDurably(w.wsc, w.copy);
            pair.floor = clock.wallSeconds();
            pair.floorCpu = clock.cpuSeconds();
        }
        w.restore();
        LoadStaticIndex(w.staidx, *index);
        {
            const Clock clock;
            MeltBlock(options, w.meltX, w.meltY, *index, {}, {});
            pair.op = clock.wallSeconds();
            pair.opCpu = clock.cpuSeconds();
        }
        results.melt.push_back(pair);
        state.SetIterationTime(pair.op);
    }
    state.counters["ratio"] = medianRatio(results.melt, false);
    state.counters["cpu_ratio"] = medianRatio(results.melt, true);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(w.wscBytes));
}
BENCHMARK(BM_MeltOneBlock1MItems)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    const double mb = double(world().wscBytes) / (1024.0 * 1024.0);
    std::printf("\nworld-save (mkworld --items %d --seed 1): %.1f MB\n", Items, mb);
    // On a shared machine other work stretches some runs; the fastest run of each side is
    // the least disturbed, so the ratio of the minimums is the headline figure.
    auto report = [](const char* what, const std::vector<Pair>& pairs, double target) {
        if (pairs.empty()) return;
        std::vector<double> floors, ops, floorCpu, opCpu;
        for (const Pair& p : pairs) {
            floors.push_back(p.floor * 1000);
            ops.push_back(p.op * 1000);
            floorCpu.push_back(p.floorCpu * 1000);
            opCpu.push_back(p.opCpu * 1000);
        }
        const auto least = [](const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); };
        std::printf("%s\n  fastest %.0f ms vs floor %.0f ms: ratio %.2f (target <= %.0f)\n"
                    "  median ratio of paired runs %.2f; processor time %.0f ms vs %.0f ms: ratio %.2f\n",
                    what, least(ops), least(floors), least(ops) / least(floors), target, medianRatio(pairs, false),
                    least(opCpu), least(floorCpu), least(opCpu) / least(floorCpu));
    };
    if (!results.freeze.empty())
        std::printf("freeze: %lld items selected, %lld items taken out in %lld blocks\n", (long long)results.selected,
                    (long long)(Items - results.itemsLeft), (long long)results.blocks);
    report("freeze (floor: copy world-save + read and write index)", results.freeze, 3);
    if (results.freezePeakMB > 0)
        std::printf("freeze peak memory: %.0f MB = %.2f x the world-save (target <= 3)\n", results.freezePeakMB,
                    results.freezePeakMB / mb);
    report("melt of one block (floor: copy world-save)", results.melt, 2);
    return 0;
}
