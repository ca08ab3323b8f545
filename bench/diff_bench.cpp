// Diff packages on two full-size worlds that differ in 5,000 map blocks and 5,000 statics
// blocks, each measured in the same run against what it must at least do:
//   generate  vs  `cmp -l` over the two maps and the two indexes,
//   apply     vs  copying the original map, statics and index once,
//   checksums in bytes per second, and the package's size vs `xdelta3 -e -9 -s`;
// generate and apply also in the compact form.
#include "core/file_system.h"
#include "support/classic_world.h"
#include "core/map_file.h"
#include "core/static_index.h"
#include "core/world.h"
#include "diff/diff.h"
#include "diff/diff_package.h"
#include "tools/reference_passes.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <set>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace tq;
namespace fs = std::filesystem;

constexpr int ChangedMapBlocks = 5000;
constexpr int ChangedStaticsBlocks = 5000;

// A small deterministic generator, so every run measures the same worlds.
struct Rng {
    uint64_t s = 0x9E3779B97F4A7C15ull;
    uint32_t next() {
        s ^= s << 13;
        s ^= s >> 7;
        s ^= s << 17;
        return uint32_t(s >> 16);
    }
    uint32_t below(uint32_t n) { return next() % n; }
};

void writeFile(const std::string& path, const void* bytes, size_t n) {
    auto file = openFile(path, OpenMode::Create);
    file->write(bytes, n);
    file->close();
}

std::vector<int> distinctBlocks(Rng& rng, int n) {
    std::set<int> picked;
    while (int(picked.size()) < n) picked.insert(int(rng.below(BlockCount)));
    return {picked.begin(), picked.end()};
}

class Worlds {
public:
    Worlds() {
        root_ = fs::temp_directory_path() / ("tq-diff-bench-" + std::to_string(::getpid()));
        for (const char* d : {"orig", "mod", "player", "copy"}) fs::create_directories(root_ / d);
        auto in = [&](const char* d, const char* f) { return (root_ / d / f).string(); };
        paths = {in("orig", "staidx0.mul"), in("orig", "statics0.mul"), in("orig", "map0.mul"),
                 in("mod", "staidx0.mul"),  in("mod", "statics0.mul"),  in("mod", "map0.mul")};
        player = {paths.origStaIdx,          paths.origStatics,           paths.origMap,
                  in("player", "staidx0.mul"), in("player", "statics0.mul"), in("player", "map0.mul")};
        copyDir = (root_ / "copy").string();
        package = (root_ / "both.tq2").string();
        compactPackage = (root_ / "compact.tq2").string();
        makeOriginal();
        makeModified();
        for (const char* f : {"staidx0.mul", "statics0.mul", "map0.mul"})
            fs::copy_file(root_ / "orig" / f, root_ / "player" / f, fs::copy_options::overwrite_existing);
        GenerateDiff(paths, package, {});
        GenerateDiff(paths, compactPackage, {true, true, true});
    }
    ~Worlds() {
        std::error_code ec;
        fs::remove_all(root_, ec);
    }

    DiffPaths paths;   // original and modified worlds
    DiffPaths player;  // the originals and a player's copy to apply to
    std::string copyDir, package, compactPackage;
    std::string root() const { return root_.string(); }

private:
    // Land with varied tiles and altitudes; statics in about 40% of the blocks, 1..16
    // records each, stored x-major as the client's files are, a few empty runs.
    void makeOriginal() {
        Rng rng;
        std::vector<uint8_t> map(MapFileSize);
        for (size_t i = 0; i < map.size(); i += 4) {
            const uint32_t v = rng.next();
            std::memcpy(map.data() + i, &v, 4);
        }
        writeFile(paths.origMap, map.data(), map.size());

        std::vector<uint8_t> index(StaticIndexFileSize), statics;
        statics.reserve(size_t(BlockCount) * 4 * StaticRecSize);
        for (int n = 0; n < BlockCount; ++n) {
            TStaticIndexRec e{-1, -1, -1};
            const uint32_t roll = rng.below(100);
            if (roll < 40) {
                const int count = 1 + int(rng.below(16));
                e = {int32_t(statics.size()), count * StaticRecSize, int32_t(rng.below(3))};
                for (int i = 0; i < count; ++i) {
                    uint8_t rec[StaticRecSize];
                    encodeStaticRec({uint16_t(rng.below(0x4000)), uint8_t(rng.below(8)), uint8_t(rng.below(8)),
                                     int8_t(rng.below(40)), uint16_t(rng.below(4) ? 0 : rng.below(3000))},
                                    rec);
                    statics.insert(statics.end(), rec, rec + StaticRecSize);
                }
            } else if (roll < 42) {
                e = {int32_t(statics.size()), 0, 0};
            }
            encodeIndexRec(e, index.data() + size_t(n) * StaticIndexRecSize);
        }
        writeFile(paths.origStaIdx, index.data(), index.size());
        writeFile(paths.origStatics, statics.data(), statics.size());
    }

    // The operator's edits: 5,000 map blocks get a changed cell; 5,000 blocks get new
    // statics appended at the end of statics0.mul, as freezing and fill/clear do.
    void makeModified() {
        for (const char* f : {"staidx0.mul", "statics0.mul", "map0.mul"})
            fs::copy_file(root_ / "orig" / f, root_ / "mod" / f, fs::copy_options::overwrite_existing);
        Rng rng;
        rng.s = 12345;
        auto map = openFile(paths.modMap, OpenMode::ReadWrite);
        for (int n : distinctBlocks(rng, ChangedMapBlocks)) {
            TMapBlock block;
            ReadMapBlock(*map, n / BlocksY, n % BlocksY, block);
            block.Cells[rng.below(CellsPerBlock)].TileId ^= uint16_t(1 + rng.below(0x3FFF));
            WriteMapBlock(*map, n / BlocksY, n % BlocksY, block);
        }
        map->close();

        auto index = newStaticIndex();
        LoadStaticIndex(paths.modStaIdx, *index);
        auto statics = openFile(paths.modStatics, OpenMode::ReadWrite);
        TStaticBlock block, extra;
        extra.Count = 1;
        for (int n : distinctBlocks(rng, ChangedStaticsBlocks)) {
            TStaticIndexRec& e = index->at(n / BlocksY, n % BlocksY);
            ReadBlockStatics(*statics, e, block);
            extra.Records[0] = {uint16_t(rng.below(0x4000)), uint8_t(rng.below(8)), uint8_t(rng.below(8)), 5, 0};
            AppendStatics(block, extra);
            WriteBlockStatics(*statics, e, block);
        }
        statics->close();
        SaveStaticIndex(paths.modStaIdx, *index);
    }

    fs::path root_;
};

Worlds& worlds() {
    static Worlds w;
    return w;
}

double seconds(std::chrono::steady_clock::duration d) { return std::chrono::duration<double>(d).count(); }

template <typename F>
double timed(F&& f) {
    const auto start = std::chrono::steady_clock::now();
    f();
    return seconds(std::chrono::steady_clock::now() - start);
}

// Processor time (user + system) of this process and of the children it waited for: on a
// machine busy with other work, wall times swell with waiting, processor times much less.
double processorSeconds() {
    auto total = [](int who) {
        rusage u{};
        getrusage(who, &u);
        return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) * 1e-6;
    };
    return total(RUSAGE_SELF) + total(RUSAGE_CHILDREN);
}

struct Measured {
    double wall = 0, processor = 0;
};

template <typename F>
void measure(Measured& m, F&& f) {
    const double p = processorSeconds();
    m.wall += timed(f);
    m.processor += processorSeconds() - p;
}

void report(benchmark::State& state, const char* name, const Measured& ours, const char* other, const Measured& theirs) {
    const double n = double(state.iterations());
    state.counters[std::string(name) + "_ms"] = ours.wall / n * 1e3;
    state.counters[std::string(other) + "_ms"] = theirs.wall / n * 1e3;
    state.counters["ratio"] = ours.wall / theirs.wall;
    state.counters[std::string(name) + "_cpu_ms"] = ours.processor / n * 1e3;
    state.counters[std::string(other) + "_cpu_ms"] = theirs.processor / n * 1e3;
    state.counters["cpu_ratio"] = ours.processor / theirs.processor;
}

void run(const std::string& command) {
    // cmp exits 1 when the files differ, which they do; only a failure to run matters.
    const int status = std::system(command.c_str());
    if (status == -1 || !WIFEXITED(status) || WEXITSTATUS(status) > 1)
        throw std::runtime_error("could not run: " + command);
}

// Generating both parts against reading and comparing the two maps and the two indexes
// in full: `cmp -l` into a file (a plain cmp, a cmp writing to /dev/null or into a pipe
// that closes early stops at the first difference). Argument 1: the compact form.
void BM_GenerateVsCmp(benchmark::State& state) {
    const bool compact = state.range(0) == 1;
    Worlds& w = worlds();
    const std::string out = w.root() + "/bench.tq2";
    const std::string cmp = "{ cmp -l '" + w.paths.origMap + "' '" + w.paths.modMap + "'; cmp -l '" +
                            w.paths.origStaIdx + "' '" + w.paths.modStaIdx + "'; } > '" + w.root() + "/cmp.out'";
    Measured generate, compare;
    for (auto _ : state) {
        const double before = generate.wall;
        measure(generate, [&] { GenerateDiff(w.paths, out, {true, true, compact}); });
        measure(compare, [&] { run(cmp); });
        state.SetIterationTime(generate.wall - before);
    }
    report(state, "generate", generate, "cmp", compare);
}
BENCHMARK(BM_GenerateVsCmp)->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(3);

// Applying both parts to a player's files against copying the original map, statics and
// index once. Argument 1: the compact form of the same package.
void BM_ApplyVsCopy(benchmark::State& state) {
    Worlds& w = worlds();
    const std::string& package = state.range(0) == 1 ? w.compactPackage : w.package;
    Measured apply, copy;
    for (auto _ : state) {
        const double before = apply.wall;
        measure(apply, [&] { ApplyDiff(w.player, package); });
        measure(copy, [&] {
            for (const std::string& f : {w.paths.origMap, w.paths.origStatics, w.paths.origStaIdx})
                fs::copy_file(f, w.copyDir + "/" + fs::path(f).filename().string(),
                              fs::copy_options::overwrite_existing);
        });
        state.SetIterationTime(apply.wall - before);
    }
    report(state, "apply", apply, "copy", copy);
}
BENCHMARK(BM_ApplyVsCopy)->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(3);

void BM_MapFileSum(benchmark::State& state) {
    const std::string map = worlds().paths.modMap;
    MapFileSum(map);  // in the page cache from here on
    for (auto _ : state) benchmark::DoNotOptimize(MapFileSum(map));
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(MapFileSize));
}
BENCHMARK(BM_MapFileSum)->Unit(benchmark::kMillisecond);

void BM_StaticsCrc(benchmark::State& state) {
    auto index = newStaticIndex();
    LoadStaticIndex(worlds().paths.modStaIdx, *index);
    for (auto _ : state) benchmark::DoNotOptimize(StaticsCrc(*index));
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(StaticIndexFileSize));
}
BENCHMARK(BM_StaticsCrc)->Unit(benchmark::kMicrosecond);

// Sizes and times beside a generic binary delta of the two maps.
void BM_PackageVsXdelta3(benchmark::State& state) {
    Worlds& w = worlds();
    const std::string mapOnly = w.root() + "/map-only.tq2", delta = w.root() + "/map.xd3";
    double generate = 0, generateMap = 0, xdelta = 0;
    for (auto _ : state) {
        generate += timed([&] { GenerateDiff(w.paths, w.package, {}); });
        generateMap += timed([&] { GenerateDiff(w.paths, mapOnly, {false, true}); });
        xdelta += timed([&] {
            run("xdelta3 -f -e -9 -s '" + w.paths.origMap + "' '" + w.paths.modMap + "' '" + delta + "'");
        });
        state.SetIterationTime(generate);
    }
    if (!fs::exists(delta)) {
        state.SkipWithError("xdelta3 did not run (scripts/install-deps.sh bench installs it)");
        return;
    }
    const double n = double(state.iterations());
    state.counters["package_MB"] = double(fs::file_size(w.package)) / 1e6;
    state.counters["compact_package_MB"] = double(fs::file_size(w.compactPackage)) / 1e6;
    state.counters["map_package_MB"] = double(fs::file_size(mapOnly)) / 1e6;
    state.counters["xdelta3_MB"] = double(fs::file_size(delta)) / 1e6;
    state.counters["generate_s"] = generate / n;
    state.counters["map_generate_s"] = generateMap / n;
    state.counters["xdelta3_s"] = xdelta / n;
}
BENCHMARK(BM_PackageVsXdelta3)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

BENCHMARK_MAIN();
