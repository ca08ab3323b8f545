#pragma once
#include "core/map_file.h"
#include "core/progress.h"
#include "core/static_index.h"
#include "core/world.h"

#include <cstdint>
#include <string>
#include <vector>

// The ".tq2" diff package: layout, checksums, change rules and the reads and writes of its
// pieces. A package is, in this order: a 1024-byte header, the statics data and the statics
// index (when it has a statics part), the map data and the map index (when it has a map
// part). Every integer is a 32-bit signed little-endian value; positions count from the
// start of the package; every table is x-major (entry x*blocksHigh + y), one entry per block of
// the package's world. Version 2 is the old clients' world (facet 0's smaller size) and nothing
// else; version 3 is the same layout for any other world, whose facet and size the header
// records. docs/formats.md has the tables.
namespace tq {

class WindowedReader;
class AppendWriter;

inline constexpr int DiffHeaderSize = 1024;
inline constexpr int32_t ClassicDiffVersion = 2;  // the old clients' world
inline constexpr int32_t SizedDiffVersion = 3;    // any other world; the header records it
inline constexpr int DiffStaticsEntrySize = 8;
inline constexpr int DiffMapEntrySize = 4;
// The version a package of `world` is written in.
int32_t DiffVersionFor(const WorldGeometry& world);
// Table sizes for a world (3,145,728 and 1,572,864 bytes for the old clients' world).
constexpr uint64_t DiffStaticsIndexSize(const WorldGeometry& world) {
    return uint64_t(world.blockCount()) * DiffStaticsEntrySize;
}
constexpr uint64_t DiffMapIndexSize(const WorldGeometry& world) {
    return uint64_t(world.blockCount()) * DiffMapEntrySize;
}

struct TDiffHeader {
    int32_t DiffVersion = 0;
    int32_t StaticsIndexPos = 0;  // -1: no statics part
    int32_t OrigIndexCrc = 0;     // StaticsCrc of the original staidx0.mul (the one apply checks)
    int32_t OrigStaticsSize = 0;
    int32_t ModIndexCrc = 0;
    int32_t ModStaticsSize = 0;
    int32_t MapIndexPos = 0;      // -1: no map part
    int32_t ModMapSum = 0;
    // Versions 3 and 4 (zero in version 2): the world the package was made for.
    int32_t Facet = 0;
    int32_t BlocksWide = 0;
    int32_t BlocksHigh = 0;
    // The rest of the 1024 bytes is reserved, all zero.
    friend bool operator==(const TDiffHeader&, const TDiffHeader&) = default;
};

// One block of the statics index: (-1, -1) unchanged, (-1, 0) empty in the modified world,
// otherwise Length bytes of records at Pos in the package.
struct TDiffStaticsEntry {
    int32_t Pos = -1;
    int32_t Length = -1;
    bool unchanged() const { return Pos == -1 && Length == -1; }
    bool emptied() const { return Pos == -1 && Length == 0; }
    friend bool operator==(const TDiffStaticsEntry&, const TDiffStaticsEntry&) = default;
};

// One block of the map index: the position of the block's 196 bytes, or -1 (unchanged).
using TDiffMapEntry = int32_t;

// The world a package's header says it was made for: the old clients' world for version 2.
// (Check the header first: this trusts its fields.)
WorldGeometry DiffHeaderWorld(const TDiffHeader& header);
// The header a package of `world` starts with (version and world set, parts to be filled in):
// the full form's version for the world, or the compact version, which records any world.
TDiffHeader NewDiffHeader(const WorldGeometry& world, bool compact = false);

// "This package was made for a world of W × H blocks (a version 2 package), but the
// original files are of W2 × H2 blocks"
std::string PackageWorldMismatchMessage(const TDiffHeader& header, const WorldGeometry& files);

// The tables in memory, x-major, indexed by world.blockNumber(x, y).
using DiffStaticsTable = std::vector<TDiffStaticsEntry>;
using DiffMapTable = std::vector<TDiffMapEntry>;

void encodeDiffHeader(const TDiffHeader& header, uint8_t* bytes);  // 1024 bytes, reserved zeroed
void decodeDiffHeader(const uint8_t* bytes, TDiffHeader& header);
void encodeDiffStaticsEntry(const TDiffStaticsEntry& entry, uint8_t* bytes);
void decodeDiffStaticsEntry(const uint8_t* bytes, TDiffStaticsEntry& entry);

// Exclusive-or of the three words of every index entry: the "CRC value" a package is tied
// to (equal to the xor of all 32-bit words of the index file). Pumps once per block column.
uint32_t StaticsCrc(const StaticIndexBuffer& index, const Progress& progress = {});
// Exclusive-or of all 32-bit little-endian words of the blocks of `world` at the start of a
// map file (bytes after the last block are not part of the world); a shorter file fails with
// "Read beyond end of file". Bar 0, then the percentage of blocks done whenever it changes,
// then 100; one pump per block column. The form without a world is the old clients' world.
uint32_t MapFileSum(const std::string& mapPath, const WorldGeometry& world, const Progress& progress = {});
// MapFileSum's sum of n bytes of blocks (n a multiple of 4): a column's sums xor into the file's.
uint32_t MapBytesSum(const uint8_t* bytes, size_t n);
uint32_t MapFileSum(const std::string& mapPath, const Progress& progress = {});

// Start and Length equal; Extra is not compared.
bool SameIndexEntry(const TStaticIndexRec& a, const TStaticIndexRec& b);
// Same number of records and the same records in the same order.
bool SameBlockStatics(const TStaticBlock& a, const TStaticBlock& b);
// All 196 bytes equal, header included.
bool SameMapBlock(const TMapBlock& a, const TMapBlock& b);
// The same over two blocks' raw 196 bytes, as whole-map passes hold them.
bool SameMapBlock(const uint8_t* a, const uint8_t* b);

// Writes the block's records at the package's end; entry = (that position, Count*7).
void AppendPackageStatics(AppendWriter& package, TDiffStaticsEntry& entry, const TStaticBlock& block);
// Fills the block with the Length/7 records at Pos; slots past them are zero afterwards
// (given that they were past Count before, as in every TStaticBlock). Refuses an entry that
// would not fit a TStaticBlock.
void ReadPackageStatics(WindowedReader& package, const TDiffStaticsEntry& entry, TStaticBlock& block);
// Writes the block's 196 bytes at the package's end; entry = that position.
void AppendPackageMapBlock(AppendWriter& package, TDiffMapEntry& entry, const TMapBlock& block);
void ReadPackageMapBlock(WindowedReader& package, int32_t position, TMapBlock& block);

// ReadBlockStatics over a reader kept open for a whole pass (same checks and messages;
// slots past Count are left zero as ReadPackageStatics says).
void ReadBlockStatics(WindowedReader& statics, const TStaticIndexRec& entry, TStaticBlock& block);

// Checks a package's header and tables against its size before anything is applied.
// Packages come from strangers: each throws tq::Error "Invalid TQD file: ..." on the first fault.
void CheckDiffHeader(const TDiffHeader& header, uint64_t packageSize);
// Check every entry of a whole table of the package's world, given as its raw bytes.
void CheckDiffStaticsTable(const uint8_t* tableBytes, uint64_t packageSize, const WorldGeometry& world = {});
void CheckDiffMapTable(const uint8_t* tableBytes, uint64_t packageSize, const WorldGeometry& world = {});
// The same checks over `count` entries of a table from block number `first` on, for a
// reader that goes through a table a piece at a time (messages name the same blocks).
void CheckDiffStaticsEntries(const uint8_t* entryBytes, int first, int count, uint64_t packageSize,
                             const WorldGeometry& world);
void CheckDiffMapEntries(const uint8_t* entryBytes, int first, int count, uint64_t packageSize,
                         const WorldGeometry& world);

} // namespace tq
