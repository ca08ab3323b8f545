#pragma once
#include "core/static_index.h"
#include "core/world.h"
#include "diff/diff_package.h"

#include <cstdint>
#include <vector>

// The compact package (version 4): the header of every package, then for each part a
// sparse table of only the blocks that change and their data, the two packed together in
// one zstd frame. It is what a player downloads; the full forms (versions 2 and 3) carry
// both whole tables whatever changes. docs/formats.md has the layout.
namespace tq {

class WindowedReader;

inline constexpr int32_t CompactDiffVersion = 4;
// Each part starts with three 32-bit fields: blocks, packed size, unpacked size.
inline constexpr int CompactPartHeadSize = 12;
// However many blocks a statics part names, it never unpacks to more than this: a small
// hostile file must not make apply reserve gigabytes. Real statics files are 5-15 MB.
inline constexpr uint64_t CompactStaticsUnpackedLimit = uint64_t(256) << 20;
// The zstd level generate uses, measured on a 300 × 300-cell fill plus 300 changed statics
// blocks of a full world (about 300 KB unpacked): level 3 gives 13,878 bytes, 15 gives
// 13,156, 19 gives 12,695; but where first touches of fresh memory are dear (a shared
// virtual machine), the larger tables of the higher levels added 80 ms (15) and 400 ms (19)
// to a generate of 290 ms. Level 3 is also fast on a part of tens of megabytes.
inline constexpr int CompactPackLevel = 3;

// One part of a compact package as it is being generated: the blocks in increasing order.
// A statics part names only the blocks whose entry differs from what the original index
// implies: a block it leaves out is unchanged, or emptied when its original entry has Start
// -1 (an empty block stays empty). Applying gives the files the full form gives.
class CompactPartWriter {
public:
    // Statics part: the block is copied from the original files (named only where the
    // original entry has Start -1).
    void unchanged(int block);
    // Statics part: the block has no statics in the modified world.
    void emptied(int block);
    // Statics part: the block is these records (n bytes, whole records, possibly none).
    void records(int block, const uint8_t* bytes, size_t n);
    // Map part: the block is these 196 bytes.
    void mapBlock(int block, const uint8_t* bytes);
    int blocks() const { return blocks_; }
    // The part as it is written into the package: its three fields and the zstd frame. The
    // writer is spent.
    std::vector<uint8_t> pack();

private:
    // Reserved for the data at its first block: a whole full-size map part of the bench pair
    // and any statics part of that size (only what is written is ever touched).
    static constexpr size_t DataReserve = size_t(8) << 20;
    void number(int block);
    void reserveData();
    int blocks_ = 0;
    int last_ = -1;
    std::vector<uint8_t> table_, data_;
};

// A compact part read back, checked and unpacked, with tables in the full form's terms:
// statics entries and map positions point into `data` instead of the package. A statics
// block the part leaves out is CompactImplied: ResolveCompactEntry turns it into the full
// form's entry given the block's original index entry.
inline constexpr TDiffStaticsEntry CompactImplied{-2, -2};
TDiffStaticsEntry ResolveCompactEntry(const TDiffStaticsEntry& entry, const TStaticIndexRec& original);
// Only the named blocks are held, in increasing order (whole tables would be 4.5 MB to
// fill for a package of a few kilobytes).
struct UnpackedStatics {
    std::vector<int> blocks;
    std::vector<TDiffStaticsEntry> entries;
    std::vector<uint8_t> data;
    // The entry of a block: CompactImplied where the part does not name it.
    TDiffStaticsEntry entry(int block) const;
};
struct UnpackedMap {
    std::vector<int> blocks;  // entry i is at data offset i * 196
    std::vector<uint8_t> data;
    TDiffMapEntry entry(int block) const;  // -1 where the part does not name it
};

// Read the part at `position` of a package whose header has been checked. Throw
// "Invalid TQD file: ..." on the first fault: a packed size that is not the frame's, an
// unpacked size above the limit or not the frame's, damaged data, a block out of range, out
// of order or named twice, a statics run too long, a table and data that do not add up.
UnpackedStatics UnpackCompactStatics(WindowedReader& package, int32_t position, const WorldGeometry& world);
UnpackedMap UnpackCompactMap(WindowedReader& package, int32_t position, const WorldGeometry& world);

} // namespace tq
