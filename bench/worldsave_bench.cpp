// Freeze and melt on a 1,000,000-item world-save against the physical floor measured in
// the same run: copying the world-save once (plus reading and writing the index once, for
// the freeze). Every write on both sides is made durable (flushed to the disk before the
// rename), because that is what a safe rewrite costs.
#include "core/atomic_file.h"
#include "core/file_system.h"
#include "core/static_index.h"
#include "core/world.h"
#include "worldsave/freeze.h"
#include "worldsave/melt.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using namespace tq;
namespace fs = std::filesystem;

constexpr int Items = 1'000'000;
constexpr int Selected = 50'000;
constexpr int SelectedPerBlock = 4;  // 12,500 marked blocks
constexpr int MeltX = 100, MeltY = 100;

// A world in a temporary folder: pristine files, and working copies each run starts from.
class World {
public:
    World() {
        dir_ = fs::temp_directory_path() / ("tq-worldsave-bench-" + std::to_string(::getpid()));
        fs::create_directories(dir_ / "pristine");
        makeIndexAndStatics();
        makeWorldSave();
        staidx = (dir_ / "staidx0.mul").string();
        statics = (dir_ / "statics0.mul").string();
        wsc = (dir_ / "items.wsc").string();
        pat = (dir_ / "out.pat").string();
        copy = (dir_ / "copy.wsc").string();
        wscBytes = fs::file_size(dir_ / "pristine" / "items.wsc");
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

private:
    // Every block has five statics; the melted block has ten.
    void makeIndexAndStatics() {
        std::vector<uint8_t> index(StaticIndexFileSize);
        std::string runs;
        TStaticRec rec;
        uint8_t bytes[7];
        for (int x = 0; x < BlocksX; ++x)
            for (int y = 0; y < BlocksY; ++y) {
                const int count = (x == MeltX && y == MeltY) ? 10 : 5;
                encodeIndexRec({int32_t(runs.size()), count * 7, 0}, index.data() + staticIndexOffset(x, y));
                for (int i = 0; i < count; ++i) {
                    rec = {uint16_t(x + y + i), uint8_t(i % 8), uint8_t((i * 3) % 8), int8_t(i), 0};
                    encodeStaticRec(rec, bytes);
                    runs.append(reinterpret_cast<const char*>(bytes), 7);
                }
            }
        std::ofstream(dir_ / "pristine" / "staidx0.mul", std::ios::binary)
            .write(reinterpret_cast<const char*>(index.data()), std::streamsize(index.size()));
        std::ofstream(dir_ / "pristine" / "statics0.mul", std::ios::binary).write(runs.data(), std::streamsize(runs.size()));
    }

    // Items as a server saves them. Every 20th item is TYPE 255 (50,000 in all, four per
    // marked block, blocks spread over the whole world); section numbers are unique
    // modulo 65536 for the selected ones, so exactly those 50,000 are taken out.
    void makeWorldSave() {
        std::ofstream out(dir_ / "pristine" / "items.wsc", std::ios::binary);
        std::string chunk;
        int selected = 0, other = 0;
        for (int i = 0; i < Items; ++i) {
            const bool pick = i % (Items / Selected) == 0 && selected < Selected;
            int section, x, y, type;
            if (pick) {
                const int block = int((uint64_t(selected / SelectedPerBlock) * 7919) % uint64_t(BlockCount));
                const int bx = block / BlocksY, by = block % BlocksY;
                x = bx * 8 + selected % 8;
                y = by * 8 + (selected * 5) % 8;
                section = selected++;
                type = 255;
            } else {
                section = (other / 15536) * 65536 + Selected + other % 15536;
                ++other;
                x = (i * 37) % CellsX;
                y = (i * 91) % CellsY;
                type = i % 7;
            }
            chunk += "SECTION WORLDITEM " + std::to_string(section) + "\r\n{\r\nSERIAL " +
                     std::to_string(1073741825 + i) + "\r\nID " + std::to_string(i % 16384) +
                     "\r\nNAME #\r\nX " + std::to_string(x) + "\r\nY " + std::to_string(y) + "\r\nZ " +
                     std::to_string(i % 40 - 20) + "\r\nCOLOR " + std::to_string(i % 1000) +
                     "\r\nCONT -1\r\nTYPE " + std::to_string(type) + "\r\nAMOUNT 1\r\nMORE 0\r\n}\r\n\r\n";
            if (chunk.size() > (1 << 20)) {
                out.write(chunk.data(), std::streamsize(chunk.size()));
                chunk.clear();
            }
        }
        chunk += "EOF\r\n";
        out.write(chunk.data(), std::streamsize(chunk.size()));
    }

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

struct Timings {
    double floorFreeze = 0, freeze = 0, floorMelt = 0, melt = 0, freezePeakMB = 0;
} timings;

double seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

void copyFileDurably(const std::string& from, const std::string& to) {
    const std::string bytes = readWholeFile(from);
    writeFileAtomic(to, bytes);
}

// The floor of the freeze: the world-save copied once, the index read and written once.
void BM_FloorCopyWorldSaveAndIndex(benchmark::State& state) {
    World& w = world();
    auto index = newStaticIndex();
    double total = 0;
    for (auto _ : state) {
        state.PauseTiming();
        w.restore();
        state.ResumeTiming();
        const auto start = std::chrono::steady_clock::now();
        copyFileDurably(w.wsc, w.copy);
        LoadStaticIndex(w.staidx, *index);
        SaveStaticIndex(w.staidx, *index);
        total += seconds(start);
    }
    timings.floorFreeze = total / double(state.iterations());
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(w.wscBytes));
}
BENCHMARK(BM_FloorCopyWorldSaveAndIndex)->Unit(benchmark::kMillisecond)->Iterations(3);

// 1,000,000 items, 50,000 selected in 12,500 blocks, with a patch file.
void BM_Freeze1MItems(benchmark::State& state) {
    World& w = world();
    auto index = newStaticIndex();
    FreezeOptions options;
    options.staidxPath = w.staidx;
    options.staticsPath = w.statics;
    options.worldSavePath = w.wsc;
    options.rule = RuleType255;
    options.writePat = true;
    options.patPath = w.pat;
    int64_t lines = 0;
    double total = 0;
    for (auto _ : state) {
        state.PauseTiming();
        w.restore();
        LoadStaticIndex(w.staidx, *index);
        lines = 0;
        resetPeakMemory();
        state.ResumeTiming();
        const auto start = std::chrono::steady_clock::now();
        FreezeWorld(options, *index, {}, [&](const std::string&) { ++lines; });
        total += seconds(start);
        timings.freezePeakMB = std::max(timings.freezePeakMB, peakMemoryMB());
    }
    timings.freeze = total / double(state.iterations());
    state.counters["log_lines"] = double(lines);
    state.counters["peak_MB"] = timings.freezePeakMB;
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(w.wscBytes));
}
BENCHMARK(BM_Freeze1MItems)->Unit(benchmark::kMillisecond)->Iterations(3);

// The floor of the melt: the world-save copied once.
void BM_FloorCopyWorldSave(benchmark::State& state) {
    World& w = world();
    double total = 0;
    for (auto _ : state) {
        state.PauseTiming();
        w.restore();
        state.ResumeTiming();
        const auto start = std::chrono::steady_clock::now();
        copyFileDurably(w.wsc, w.copy);
        total += seconds(start);
    }
    timings.floorMelt = total / double(state.iterations());
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(w.wscBytes));
}
BENCHMARK(BM_FloorCopyWorldSave)->Unit(benchmark::kMillisecond)->Iterations(3);

// Ten statics of one block appended to the 1,000,000-item world-save; the index saved.
void BM_MeltOneBlock1MItems(benchmark::State& state) {
    World& w = world();
    auto index = newStaticIndex();
    MeltOptions options;
    options.staidxPath = w.staidx;
    options.staticsPath = w.statics;
    options.worldSavePath = w.wsc;
    double total = 0;
    for (auto _ : state) {
        state.PauseTiming();
        w.restore();
        LoadStaticIndex(w.staidx, *index);
        state.ResumeTiming();
        const auto start = std::chrono::steady_clock::now();
        MeltBlock(options, MeltX, MeltY, *index, {}, {});
        total += seconds(start);
    }
    timings.melt = total / double(state.iterations());
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(w.wscBytes));
}
BENCHMARK(BM_MeltOneBlock1MItems)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    const double mb = double(world().wscBytes) / (1024.0 * 1024.0);
    std::printf("\nworld-save: %d items, %.1f MB\n", Items, mb);
    if (timings.floorFreeze > 0 && timings.freeze > 0)
        std::printf("freeze / (copy world-save + read and write index): %.2f (target <= 3)\n",
                    timings.freeze / timings.floorFreeze);
    if (timings.freezePeakMB > 0)
        std::printf("freeze peak memory: %.0f MB = %.2f x the world-save (target <= 3)\n", timings.freezePeakMB,
                    timings.freezePeakMB / mb);
    if (timings.floorMelt > 0 && timings.melt > 0)
        std::printf("melt of one block / copy world-save: %.2f (target <= 2)\n", timings.melt / timings.floorMelt);
    return 0;
}
