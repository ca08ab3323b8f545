#pragma once
#include <cstdint>

// The fixed geometry of the client's world files, named once.
namespace tq {

inline constexpr int BlockSize = 8;               // cells per block side
inline constexpr int BlocksX = 768;               // block columns
inline constexpr int BlocksY = 512;               // block rows
inline constexpr int BlockCount = BlocksX * BlocksY;  // 393,216
inline constexpr int CellsX = BlocksX * BlockSize;    // 6144
inline constexpr int CellsY = BlocksY * BlockSize;    // 4096
inline constexpr int CellsPerBlock = BlockSize * BlockSize;  // 64

// staidx0.mul / statics0.mul
inline constexpr int StaticIndexRecSize = 12;
inline constexpr int StaticRecSize = 7;
inline constexpr int StaticBlockCapacity = 2048;
inline constexpr uint32_t StaticBlockMaxBytes = StaticBlockCapacity * StaticRecSize;  // 14,336
inline constexpr uint64_t StaticIndexFileSize = uint64_t(BlockCount) * StaticIndexRecSize;  // 4,718,592
inline constexpr int StaticIndexColumnBytes = BlocksY * StaticIndexRecSize;  // 6144

// map0.mul
inline constexpr int MapCellSize = 3;
inline constexpr int MapBlockHeaderSize = 4;
inline constexpr int MapBlockCellBytes = CellsPerBlock * MapCellSize;  // 192
inline constexpr int MapBlockSize = MapBlockHeaderSize + MapBlockCellBytes;  // 196
inline constexpr uint64_t MapColumnBytes = uint64_t(BlocksY) * MapBlockSize;  // 100,352
inline constexpr uint64_t MapFileSize = uint64_t(BlockCount) * MapBlockSize;  // 77,070,336

// Entry number of block (x, y) in every x-major table.
constexpr int blockNumber(int bx, int by) { return bx * BlocksY + by; }

constexpr uint64_t staticIndexOffset(int bx, int by) {
    return uint64_t(blockNumber(bx, by)) * StaticIndexRecSize;
}
constexpr uint64_t mapBlockOffset(int bx, int by) {
    return uint64_t(blockNumber(bx, by)) * MapBlockSize;
}
// Byte position of cell (x, y) in map0.mul: every single-cell reader and writer uses this.
constexpr uint64_t mapCellOffset(int x, int y) {
    return mapBlockOffset(x / BlockSize, y / BlockSize) + MapBlockHeaderSize +
           uint64_t(y % BlockSize) * BlockSize * MapCellSize + uint64_t(x % BlockSize) * MapCellSize;
}

constexpr bool validBlock(int bx, int by) { return bx >= 0 && bx < BlocksX && by >= 0 && by < BlocksY; }
constexpr bool validCell(int x, int y) { return x >= 0 && x < CellsX && y >= 0 && y < CellsY; }

} // namespace tq
