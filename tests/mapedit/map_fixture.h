#pragma once
#include "core/bytes.h"
#include "support/classic_world.h"
#include "core/world.h"
#include "support/temp_dir.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

namespace tq::test {

// A full-size map0.mul, sparse on disk (all zero) so it costs nothing to make.
inline std::string makeSparseMap(const TempDir& dir, const std::string& name = "map0.mul",
                                 uint64_t size = MapFileSize) {
    const std::string path = dir.file(name);
    { std::ofstream(path, std::ios::binary); }
    std::filesystem::resize_file(path, size);
    return path;
}

// Raw cell bytes straight from the file, by the cell's position formula.
inline std::string cellBytes(const std::string& path, int x, int y) {
    std::ifstream in(path, std::ios::binary);
    in.seekg(std::streamoff(mapCellOffset(x, y)));
    std::string b(3, '\0');
    in.read(b.data(), 3);
    return b;
}

inline void putCell(const std::string& path, int x, int y, uint16_t tile, int8_t alt) {
    std::fstream f(path, std::ios::binary | std::ios::in | std::ios::out);
    f.seekp(std::streamoff(mapCellOffset(x, y)));
    const char b[3] = {char(tile & 0xFF), char(tile >> 8), char(alt)};
    f.write(b, 3);
}

inline std::string cellString(uint16_t tile, int8_t alt) {
    return std::string{char(tile & 0xFF), char(tile >> 8), char(alt)};
}

} // namespace tq::test
