// The static index and block statics against the physical floor: one plain read and one
// plain write of the same 4,718,592 bytes, measured in the same run.
#include "core/file_system.h"
#include "support/classic_world.h"
#include "core/static_index.h"
#include "core/world.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <new>
#include <unistd.h>
#include <vector>

// Counts heap allocations, so the block benchmark can show it makes none per call.
namespace {
std::atomic<long> allocations{0};
}
// The replacements pair malloc with free themselves; the compiler cannot see that.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(size_t n) {
    ++allocations;
    if (void* p = std::malloc(n ? n : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }

namespace {

using namespace tq;

class Folder {
public:
    Folder() {
        dir_ = std::filesystem::temp_directory_path() / ("tq-index-bench-" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir_);
        staidx = (dir_ / "staidx0.mul").string();
        plainCopy = (dir_ / "plain.mul").string();
        statics = (dir_ / "statics0.mul").string();
        std::vector<uint8_t> bytes(StaticIndexFileSize);
        for (int n = 0; n < BlockCount; ++n)
            encodeIndexRec({n % 3 ? n * 7 : -1, 7 * (n % 5), n % 11}, bytes.data() + size_t(n) * StaticIndexRecSize);
        auto f = openFile(staidx, OpenMode::Create);
        f->write(bytes.data(), bytes.size());
        f->close();
    }
    ~Folder() {
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    std::string staidx, plainCopy, statics;

private:
    std::filesystem::path dir_;
};

Folder& folder() {
    static Folder f;
    return f;
}

// The floor: one read() of the whole index, one write() of it to a fresh file.
void plainReadWrite(std::vector<uint8_t>& buffer) {
    const int in = ::open(folder().staidx.c_str(), O_RDONLY);
    if (::read(in, buffer.data(), buffer.size()) != ssize_t(buffer.size())) std::abort();
    ::close(in);
    const int out = ::open(folder().plainCopy.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (::write(out, buffer.data(), buffer.size()) != ssize_t(buffer.size())) std::abort();
    ::close(out);
}

Progress countingProgress(long& calls) {
    Progress p;
    p.position = [&calls](int) { ++calls; };
    p.pump = [&calls] { ++calls; };
    return p;
}

void BM_PlainReadWrite(benchmark::State& state) {
    std::vector<uint8_t> buffer(StaticIndexFileSize);
    for (auto _ : state) plainReadWrite(buffer);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(StaticIndexFileSize) * 2);
}
BENCHMARK(BM_PlainReadWrite)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_LoadSaveStaticIndex(benchmark::State& state) {
    auto index = newStaticIndex();
    long calls = 0;
    const Progress progress = countingProgress(calls);
    for (auto _ : state) {
        LoadStaticIndex(folder().staidx, *index, progress);
        SaveStaticIndex(folder().staidx, *index, progress);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(StaticIndexFileSize) * 2);
    state.counters["progress_calls"] = double(calls) / double(state.iterations());
}
BENCHMARK(BM_LoadSaveStaticIndex)->Unit(benchmark::kMillisecond)->UseRealTime();

// Both in one loop, alternating, so the ratio compares like with like (cache, disk state).
void BM_LoadSaveVersusPlain(benchmark::State& state) {
    auto index = newStaticIndex();
    std::vector<uint8_t> buffer(StaticIndexFileSize);
    long calls = 0;
    const Progress progress = countingProgress(calls);
    double ours = 0, plain = 0;
    using Clock = std::chrono::steady_clock;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        LoadStaticIndex(folder().staidx, *index, progress);
        SaveStaticIndex(folder().staidx, *index, progress);
        const auto t1 = Clock::now();
        plainReadWrite(buffer);
        const auto t2 = Clock::now();
        ours += std::chrono::duration<double, std::milli>(t1 - t0).count();
        plain += std::chrono::duration<double, std::milli>(t2 - t1).count();
    }
    const double n = double(state.iterations());
    state.counters["ours_ms"] = ours / n;
    state.counters["plain_ms"] = plain / n;
    state.counters["ratio"] = ours / plain;
}
BENCHMARK(BM_LoadSaveVersusPlain)->Unit(benchmark::kMillisecond)->UseRealTime();

// One block of 40 records read and written back through a file kept open for a pass.
void BM_ReadWriteBlockStatics40(benchmark::State& state) {
    {
        std::vector<uint8_t> run(40 * StaticRecSize);
        for (int i = 0; i < 40; ++i)
            encodeStaticRec({uint16_t(0x0CA8 + i), uint8_t(i % 8), uint8_t(i / 8), int8_t(i), 0},
                            run.data() + i * StaticRecSize);
        auto f = openFile(folder().statics, OpenMode::Create);
        f->write(run.data(), run.size());
    }
    auto file = openFile(folder().statics, OpenMode::ReadWrite);
    const TStaticIndexRec source{0, 40 * StaticRecSize, 0};
    TStaticIndexRec entry = source;
    auto block = std::make_unique<TStaticBlock>();
    const long before = allocations.load();
    for (auto _ : state) {
        ReadBlockStatics(*file, source, *block);
        WriteBlockStatics(*file, entry, *block);
        benchmark::DoNotOptimize(entry);
    }
    const long made = allocations.load() - before;
    file->close();
    state.counters["allocations_per_call"] = double(made) / double(state.iterations());
    state.SetBytesProcessed(int64_t(state.iterations()) * 40 * StaticRecSize * 2);
}
// The statics file grows by 280 bytes per call; a fixed count keeps it to about 56 MB.
BENCHMARK(BM_ReadWriteBlockStatics40)->Unit(benchmark::kMicrosecond)->Iterations(200000);

} // namespace

BENCHMARK_MAIN();
