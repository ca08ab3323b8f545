#pragma once
#include <cstdint>
#include <string>

// The layout of the client's world files: the record sizes, named once, and the geometry of
// one world (a facet at one of its sizes). The sizes themselves live only in the facet table
// (core/facets.cpp).
namespace tq {

inline constexpr int BlockSize = 8;                          // cells per block side
inline constexpr int CellsPerBlock = BlockSize * BlockSize;  // 64

// staidx{N}.mul / statics{N}.mul
inline constexpr int StaticIndexRecSize = 12;
inline constexpr int StaticRecSize = 7;
inline constexpr int StaticBlockCapacity = 2048;
inline constexpr uint32_t StaticBlockMaxBytes = StaticBlockCapacity * StaticRecSize;  // 14,336

// map{N}.mul
inline constexpr int MapCellSize = 3;
inline constexpr int MapBlockHeaderSize = 4;
inline constexpr int MapBlockCellBytes = CellsPerBlock * MapCellSize;        // 192
inline constexpr int MapBlockSize = MapBlockHeaderSize + MapBlockCellBytes;  // 196

// One world: a facet at one of its sizes. Every table of the files is x-major: block
// (bx, by) is entry bx * blocksHigh + by. A default-made geometry is the world of the old
// clients (facet 0, the smaller size), which is what the program knew before facets.
struct WorldGeometry {
    int facet;
    int blocksWide;
    int blocksHigh;

    WorldGeometry();  // facet 0 at its classic size
    constexpr WorldGeometry(int facet_, int blocksWide_, int blocksHigh_)
        : facet(facet_), blocksWide(blocksWide_), blocksHigh(blocksHigh_) {}

    constexpr int blockCount() const { return blocksWide * blocksHigh; }
    constexpr int cellsWide() const { return blocksWide * BlockSize; }
    constexpr int cellsHigh() const { return blocksHigh * BlockSize; }
    constexpr uint64_t staticIndexBytes() const { return uint64_t(blockCount()) * StaticIndexRecSize; }
    constexpr uint64_t staticIndexColumnBytes() const { return uint64_t(blocksHigh) * StaticIndexRecSize; }
    constexpr uint64_t mapBytes() const { return uint64_t(blockCount()) * MapBlockSize; }
    constexpr uint64_t mapColumnBytes() const { return uint64_t(blocksHigh) * MapBlockSize; }

    constexpr int blockNumber(int bx, int by) const { return bx * blocksHigh + by; }
    constexpr uint64_t staticIndexOffset(int bx, int by) const {
        return uint64_t(blockNumber(bx, by)) * StaticIndexRecSize;
    }
    constexpr uint64_t mapBlockOffset(int bx, int by) const { return uint64_t(blockNumber(bx, by)) * MapBlockSize; }
    // Byte position of cell (x, y) in the map: every single-cell reader and writer uses this.
    constexpr uint64_t mapCellOffset(int x, int y) const {
        return mapBlockOffset(x / BlockSize, y / BlockSize) + MapBlockHeaderSize +
               uint64_t(y % BlockSize) * BlockSize * MapCellSize + uint64_t(x % BlockSize) * MapCellSize;
    }
    constexpr bool validBlock(int bx, int by) const {
        return bx >= 0 && bx < blocksWide && by >= 0 && by < blocksHigh;
    }
    constexpr bool validCell(int x, int y) const { return x >= 0 && x < cellsWide() && y >= 0 && y < cellsHigh(); }

    // True for the old clients' world, the one whose packages and files stay as they always were.
    bool isClassic() const;
    // "W × H" (blocks)
    std::string blocksText() const;
    // "facet 0, 7168 × 4096" (cells), as windows show it.
    std::string describe() const;

    friend constexpr bool operator==(const WorldGeometry& a, const WorldGeometry& b) {
        return a.facet == b.facet && a.blocksWide == b.blocksWide && a.blocksHigh == b.blocksHigh;
    }
    // Same block layout, whatever the facet.
    constexpr bool sameSize(const WorldGeometry& other) const {
        return blocksWide == other.blocksWide && blocksHigh == other.blocksHigh;
    }
};

} // namespace tq
