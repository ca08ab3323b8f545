// Fill/clear against the physical floor: writing the same bytes (the map and one index)
// with plain sequential writes, measured in the same run.
#include "core/file_system.h"
#include "support/classic_world.h"
#include "core/static_index.h"
#include "core/world.h"
#include "fillclear/fill_clear.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <unistd.h>
#include <vector>

namespace {

using namespace tq;

// A full-size world in a temporary folder: every block has a run of five statics.
class World {
public:
    World() {
        dir_ = std::filesystem::temp_directory_path() / ("tq-fill-bench-" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir_);
        staidx = (dir_ / "staidx0.mul").string();
        statics = (dir_ / "statics0.mul").string();
        map = (dir_ / "map0.mul").string();
        reset();
    }
    ~World() {
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    void reset() {
        std::vector<uint8_t> index(StaticIndexFileSize);
        for (int i = 0; i < BlockCount; ++i)
            encodeIndexRec({i * 35, 35, 0}, index.data() + size_t(i) * StaticIndexRecSize);
        write(staidx, index);
        std::vector<uint8_t> runs(size_t(BlockCount) * 35);
        for (size_t i = 0; i < runs.size(); i += 7) {
            const size_t rec = i / 7;
            encodeStaticRec({uint16_t(rec), uint8_t(rec % 8), uint8_t(rec * 3 % 8), 0, 0}, runs.data() + i);
        }
        write(statics, runs);
        std::vector<uint8_t> cells(MapFileSize, 0x21);
        write(map, cells);
    }
    static void write(const std::string& path, const std::vector<uint8_t>& bytes) {
        auto file = openFile(path, OpenMode::Create);
        file->write(bytes.data(), bytes.size());
        file->close();
    }

    std::string staidx, statics, map;

private:
    std::filesystem::path dir_;
};

World& world() {
    static World w;
    return w;
}

FillClearInput input(const char* top, const char* left, const char* right, const char* bottom) {
    FillClearInput in;
    in.Top = top;
    in.Left = left;
    in.Right = right;
    in.Bottom = bottom;
    in.StaIdxPath = world().staidx;
    in.StaticsPath = world().statics;
    in.MapPath = world().map;
    in.Tile = "Random grass";
    return in;
}

// The floor: 77 MB of map and 4.7 MB of index written front to back in 1 MB pieces.
void BM_SequentialWriteOfTheSameBytes(benchmark::State& state) {
    World& w = world();
    std::vector<uint8_t> chunk(1 << 20, 0x44);
    for (auto _ : state) {
        for (const auto& [path, size] : {std::pair{w.map, MapFileSize}, std::pair{w.staidx, StaticIndexFileSize}}) {
            auto file = openFile(path, OpenMode::ReadWrite);
            for (uint64_t done = 0; done < size; done += chunk.size())
                file->write(chunk.data(), size_t(std::min<uint64_t>(chunk.size(), size - done)));
            file->close();
        }
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(MapFileSize + StaticIndexFileSize));
}
BENCHMARK(BM_SequentialWriteOfTheSameBytes)->Unit(benchmark::kMillisecond);

// The window's default borders, both passes, one tile id.
void BM_FillWholeWorld(benchmark::State& state) {
    FillClearInput in = input("0", "0", "6143", "4095");
    in.Tile = "00 A8";
    for (auto _ : state) benchmark::DoNotOptimize(FillClear(in));
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(MapFileSize + StaticIndexFileSize));
}
BENCHMARK(BM_FillWholeWorld)->Unit(benchmark::kMillisecond);

// The same with a tile group: 25 million random draws, one per cell.
void BM_FillWholeWorldTileGroup(benchmark::State& state) {
    const FillClearInput in = input("0", "0", "6143", "4095");
    for (auto _ : state) benchmark::DoNotOptimize(FillClear(in));
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(MapFileSize + StaticIndexFileSize));
}
BENCHMARK(BM_FillWholeWorldTileGroup)->Unit(benchmark::kMillisecond);

// 1000 x 1000 cells not on block borders, both passes: ~500 partly covered blocks have
// their statics read, trimmed and appended.
void BM_FillPartial1000x1000(benchmark::State& state) {
    world().reset();
    const FillClearInput in = input("997", "1003", "2002", "1996");
    for (auto _ : state) benchmark::DoNotOptimize(FillClear(in));
    state.counters["cells"] = 1e6;
}
BENCHMARK(BM_FillPartial1000x1000)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
