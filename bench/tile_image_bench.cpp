// Pictures of all 4096 tile ids in a row: one-shot loads (each opens its files) and a
// loader that keeps them open. Even ids have a 64 x 64 texture, odd ids land art, every
// eighth id neither.
#include "core/bytes.h"
#include "core/file_system.h"
#include "mapedit/tile_image.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <unistd.h>
#include <vector>

namespace {

using namespace tq;

class Client {
public:
    Client() {
        dir_ = std::filesystem::temp_directory_path() / ("tq-tile-bench-" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir_);
        std::vector<uint8_t> texidx(4096 * 12, 0xFF), artidx(4096 * 12, 0xFF), texmaps, art;
        for (int id = 0; id < 4096; ++id) {
            if (id % 8 == 7) continue;
            uint8_t* tex = texidx.data() + id * 12;
            uint8_t* a = artidx.data() + id * 12;
            if (id % 2 == 0) {
                le::put32(tex, uint32_t(texmaps.size()));
                le::put32(tex + 4, 8192);
                texmaps.resize(texmaps.size() + 8192, uint8_t(id));
            } else {
                le::put32(a, uint32_t(art.size()));
                le::put32(a + 4, 2048);
                art.resize(art.size() + 2048, uint8_t(id));
            }
        }
        write("texidx.mul", texidx);
        write("texmaps.mul", texmaps);
        write("artidx.mul", artidx);
        write("art.mul", art);
    }
    ~Client() {
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    std::string folder() const { return dir_.string(); }

private:
    void write(const char* name, const std::vector<uint8_t>& bytes) {
        auto file = openFile((dir_ / name).string(), OpenMode::Create);
        file->write(bytes.data(), bytes.size());
        file->close();
    }
    std::filesystem::path dir_;
};

Client& client() {
    static Client c;
    return c;
}

void BM_LoadTileImage4096(benchmark::State& state) {
    const std::string folder = client().folder();
    for (auto _ : state)
        for (int id = 0; id < 4096; ++id) benchmark::DoNotOptimize(LoadTileImage(folder, uint16_t(id)));
    state.counters["images"] = 4096;
}
BENCHMARK(BM_LoadTileImage4096)->Unit(benchmark::kMillisecond);

void BM_LoaderTile4096(benchmark::State& state) {
    TileImageLoader loader(client().folder());
    for (auto _ : state)
        for (int id = 0; id < 4096; ++id) benchmark::DoNotOptimize(loader.tile(uint16_t(id)));
    state.counters["images"] = 4096;
}
BENCHMARK(BM_LoaderTile4096)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
