#pragma once
#include "core/progress.h"
#include "core/world.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tq {

class File;

// One entry of staidx0.mul (12 bytes on disk, little-endian).
struct TStaticIndexRec {
    int32_t Start = 0;   // offset in statics0.mul; -1: the block has no statics
    int32_t Length = 0;  // bytes in the block's run, a multiple of 7 when valid
    int32_t Extra = 0;   // carried along unchanged
    bool empty() const { return Start == -1; }
    friend bool operator==(const TStaticIndexRec&, const TStaticIndexRec&) = default;
};

// One static object (7 bytes on disk).
struct TStaticRec {
    uint16_t ItemId = 0;
    uint8_t X = 0;  // column inside the block, 0..7
    uint8_t Y = 0;  // row inside the block, 0..7
    int8_t Z = 0;
    uint16_t Color = 0;
    friend bool operator==(const TStaticRec&, const TStaticRec&) = default;
};

// The statics of one block in memory: records past Count are zero.
struct TStaticBlock {
    uint16_t Count = 0;
    std::array<TStaticRec, StaticBlockCapacity> Records{};
    void clear() { *this = TStaticBlock{}; }
};

// The whole index in memory, [x][y] in the file's x-major order, shaped by its world
// (4,718,592 bytes on disk for the old clients' world).
struct StaticIndexBuffer {
    explicit StaticIndexBuffer(const WorldGeometry& world = WorldGeometry()) { reshape(world); }
    std::vector<TStaticIndexRec> entries;
    const WorldGeometry& world() const { return world_; }
    // Takes the shape of `world`, every entry zero.
    void reshape(const WorldGeometry& world);
    // Sets every entry to `entry`.
    void fill(const TStaticIndexRec& entry) { entries.assign(entries.size(), entry); }
    TStaticIndexRec& at(int bx, int by) { return entries[size_t(world_.blockNumber(bx, by))]; }
    const TStaticIndexRec& at(int bx, int by) const { return entries[size_t(world_.blockNumber(bx, by))]; }
    // Column x, so that index[x][y] reads as the file's order.
    TStaticIndexRec* operator[](size_t x) { return entries.data() + x * size_t(world_.blocksHigh); }
    const TStaticIndexRec* operator[](size_t x) const { return entries.data() + x * size_t(world_.blocksHigh); }

private:
    WorldGeometry world_;
};
std::unique_ptr<StaticIndexBuffer> newStaticIndex(const WorldGeometry& world = WorldGeometry());

// Byte codecs, independent of the compiler's struct layout.
void decodeIndexRec(const uint8_t* bytes, TStaticIndexRec& rec);
void encodeIndexRec(const TStaticIndexRec& rec, uint8_t* bytes);
void decodeStaticRec(const uint8_t* bytes, TStaticRec& rec);
void encodeStaticRec(const TStaticRec& rec, uint8_t* bytes);

inline constexpr const char* LengthNotMultipleMessage =
    "StaticPointer.Length is not a multiple of SizeOf(TStaticRec)";
// Refusals of blocks that would not fit a TStaticBlock.
std::string tooManyStaticsMessage(int64_t records);

// Whether CheckIndexEntry refuses a run longer than a block holds, or leaves that to a
// caller that weighs the run together with records it adds (freeze).
enum class RunCapacity { Checked, LeftToCaller };
inline constexpr uint64_t UnknownStaticsSize = UINT64_MAX;

// The one check of an index entry against statics0.mul, made without reading the run.
// Refuses, in this order: a Length that is not a multiple of 7 (LengthNotMultipleMessage),
// a negative Start or Length ("Read beyond end of file"), more records than a block holds
// (tooManyStaticsMessage, unless LeftToCaller), a run past staticsSize ("Read beyond end
// of file"; skipped for UnknownStaticsSize, where the read itself finds a short file).
// Returns the run's record count, 0 for an empty entry (Start -1).
int64_t CheckIndexEntry(const TStaticIndexRec& entry, uint64_t staticsSize = UnknownStaticsSize,
                        RunCapacity capacity = RunCapacity::Checked);

// Reads a whole static index. Its world is decided before the buffer is touched: the facet
// from the file's name (or `facet` when given; facet 0 when neither tells), the size from the
// file's length, which must be exactly one of the facet's sizes (resolveWorld's message
// otherwise). The buffer takes that shape.
// Progress: 0, then x*100/width after each block column (with a pump), then 100.
void LoadStaticIndex(const std::string& path, StaticIndexBuffer& index, const Progress& progress = {},
                     std::optional<int> facet = {});
// Replaces the file atomically with the buffer, at the buffer's size.
// Progress: 90 + x*10/width after each column (with a pump).
void SaveStaticIndex(const std::string& path, const StaticIndexBuffer& index, const Progress& progress = {});
// The same bytes and progress into an open file (say the temporary file of an AtomicFile a
// caller commits together with others).
void WriteStaticIndex(File& out, const StaticIndexBuffer& index, const Progress& progress = {});
// Refuses, before anything is written, an index file on disk whose length is not the one
// `index` would write: no operation writes an index of another length than it read.
void RequireStaticIndexLength(const std::string& path, const StaticIndexBuffer& index);

// Reads the block's run; an entry with Start -1 gives Count 0 without opening the file.
void ReadBlockStatics(const std::string& staticsPath, const TStaticIndexRec& entry, TStaticBlock& block);
// The same over a file the caller keeps open for a whole pass.
void ReadBlockStatics(File& statics, const TStaticIndexRec& entry, TStaticBlock& block);

// Appends the block's records at the end of statics0.mul and points the entry at them
// (Start = old size, Length = Count*7; Extra kept). The index file is the caller's business.
void WriteBlockStatics(const std::string& staticsPath, TStaticIndexRec& entry, const TStaticBlock& block);
// The same over an open file (positioned anywhere; the run goes to its end).
void WriteBlockStatics(File& statics, TStaticIndexRec& entry, const TStaticBlock& block);

} // namespace tq
