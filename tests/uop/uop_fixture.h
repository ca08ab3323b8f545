#pragma once
// Small containers for the tests: written by the program's own writer, then read raw or
// damaged on purpose.
#include "core/bytes.h"
#include "core/file_system.h"
#include "core/uop/container.h"

#include "support/temp_dir.h"

#include <zlib.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace tq::test {

inline uint64_t rawU64(const std::string& b, size_t at) {
    return uint64_t(le::u32(reinterpret_cast<const uint8_t*>(b.data()) + at)) |
           (uint64_t(le::u32(reinterpret_cast<const uint8_t*>(b.data()) + at + 4)) << 32);
}
inline uint32_t rawU32(const std::string& b, size_t at) { return le::u32(reinterpret_cast<const uint8_t*>(b.data()) + at); }
inline void putU32(std::string& b, size_t at, uint32_t v) { le::put32(reinterpret_cast<uint8_t*>(b.data()) + at, v); }
inline void putU64(std::string& b, size_t at, uint64_t v) {
    putU32(b, at, uint32_t(v));
    putU32(b, at + 4, uint32_t(v >> 32));
}

// "e/0", "e/1", ...: entry i holds `size` bytes of value i * 7 + k.
inline void writeSmallContainer(const std::string& path, size_t count, size_t size = 4) {
    uop::NewEntries e;
    e.count = count;
    e.name = [](size_t i) { return "e/" + std::to_string(i); };
    e.bytes = [size](size_t i, std::vector<uint8_t>& out) {
        out.resize(size);
        for (size_t k = 0; k < size; ++k) out[k] = uint8_t(i * 7 + k);
    };
    uop::writeContainer(path, e);
}

// Every entry's Adler-32 in its slot matches its stored bytes ("" when all do).
inline std::string staleChecksums(const std::string& path) {
    auto file = openFile(path, OpenMode::Read);
    const auto c = uop::Container::read(*file, path);
    std::string stale;
    for (const uop::Entry& e : c.entries()) {
        std::vector<uint8_t> stored(e.storedSize);
        file->seek(e.dataOffset());
        file->read(stored.data(), stored.size());
        if (uop::adler32(stored.data(), stored.size()) != e.adler) stale += e.describe() + "\n";
    }
    return stale;
}

// The container another tool wrote (tests/fixtures/map4LegacyMUL.uop.gz, kept packed), unpacked
// into `dir`: a facet 4 map whose block b has altitude (b mod 40) - 10 and land tile
// (b mod 0x3000) + 1 in every cell and a zero header; entries out of id order, one empty slot
// in the table and 8 bytes of entry header before each entry's data.
inline std::string foreignSample(const TempDir& dir) {
    const std::string packed = std::string(TQ_SOURCE_DIR) + "/tests/fixtures/map4LegacyMUL.uop.gz";
    gzFile in = gzopen(packed.c_str(), "rb");
    if (!in) throw std::runtime_error("cannot open " + packed);
    std::string bytes;
    char buffer[65536];
    int n;
    while ((n = gzread(in, buffer, sizeof buffer)) > 0) bytes.append(buffer, size_t(n));
    gzclose(in);
    const std::string path = dir.file("map4LegacyMUL.uop");
    writeBytes(path, bytes);
    return path;
}

} // namespace tq::test
