#pragma once
#include "core/world.h"

#include <cstdint>

// The old clients' world (facet 0, 768 x 512 blocks) as the fixed numbers that tests, fuzz
// harnesses and benchmarks written for it use. The program itself takes a WorldGeometry.
namespace tq {

inline constexpr int BlocksX = 768;
inline constexpr int BlocksY = 512;
inline constexpr int BlockCount = BlocksX * BlocksY;  // 393,216
inline constexpr int CellsX = BlocksX * BlockSize;    // 6144
inline constexpr int CellsY = BlocksY * BlockSize;    // 4096
inline constexpr uint64_t StaticIndexFileSize = uint64_t(BlockCount) * StaticIndexRecSize;  // 4,718,592
inline constexpr int StaticIndexColumnBytes = BlocksY * StaticIndexRecSize;                 // 6144
inline constexpr uint64_t MapColumnBytes = uint64_t(BlocksY) * MapBlockSize;                // 100,352
inline constexpr uint64_t MapFileSize = uint64_t(BlockCount) * MapBlockSize;                // 77,070,336

inline constexpr WorldGeometry ClassicWorld{0, BlocksX, BlocksY};

constexpr int blockNumber(int bx, int by) { return ClassicWorld.blockNumber(bx, by); }
constexpr uint64_t staticIndexOffset(int bx, int by) { return ClassicWorld.staticIndexOffset(bx, by); }
constexpr uint64_t mapBlockOffset(int bx, int by) { return ClassicWorld.mapBlockOffset(bx, by); }
constexpr uint64_t mapCellOffset(int x, int y) { return ClassicWorld.mapCellOffset(x, y); }
constexpr bool validBlock(int bx, int by) { return ClassicWorld.validBlock(bx, by); }
constexpr bool validCell(int x, int y) { return ClassicWorld.validCell(x, y); }

} // namespace tq
