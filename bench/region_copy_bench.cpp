// Copying a 512 x 512-cell region between two full-size map files.
#include "core/file_system.h"
#include "support/classic_world.h"
#include "core/world.h"
#include "mapedit/region_copy.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <unistd.h>
#include <vector>

namespace {

using namespace tq;

class Maps {
public:
    Maps() {
        dir_ = std::filesystem::temp_directory_path() / ("tq-copy-bench-" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir_);
        source = (dir_ / "source-map0.mul").string();
        destination = (dir_ / "map0.mul").string();
        std::vector<uint8_t> bytes(MapFileSize);
        for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = uint8_t(i * 7);
        for (const std::string& path : {source, destination}) {
            auto file = openFile(path, OpenMode::Create);
            file->write(bytes.data(), bytes.size());
            file->close();
        }
    }
    ~Maps() {
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    std::string source, destination;

private:
    std::filesystem::path dir_;
};

Maps& maps() {
    static Maps m;
    return m;
}

void BM_CopyRegion512x512(benchmark::State& state) {
    // Unaligned corners, so edge blocks are written row by row.
    const MapRegion region{101, 203, 612, 714, 3003, 1501, 3514, 2012};
    for (auto _ : state) benchmark::DoNotOptimize(CopyMapRegion(maps().source, maps().destination, region));
    state.counters["cells"] = 512.0 * 512.0;
}
BENCHMARK(BM_CopyRegion512x512)->Unit(benchmark::kMillisecond);

// The same size overlapping itself inside one file: the cell-by-cell result is replayed in memory.
void BM_CopyRegion512x512Overlapping(benchmark::State& state) {
    const MapRegion region{101, 203, 612, 714, 301, 303, 812, 814};
    for (auto _ : state) benchmark::DoNotOptimize(CopyMapRegion(maps().destination, maps().destination, region));
    state.counters["cells"] = 512.0 * 512.0;
}
BENCHMARK(BM_CopyRegion512x512Overlapping)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
