#include "core/static_index.h"

#include "core/atomic_file.h"
#include "core/bytes.h"
#include "core/error.h"
#include "core/facets.h"
#include "core/file_system.h"
#include "core/world_lock.h"

#include <bit>
#include <cstddef>
#include <vector>

namespace tq {

void StaticIndexBuffer::reshape(const WorldGeometry& world) {
    world_ = world;
    entries.assign(size_t(world.blockCount()), TStaticIndexRec{});
}

std::unique_ptr<StaticIndexBuffer> newStaticIndex(const WorldGeometry& world) {
    return std::make_unique<StaticIndexBuffer>(world);
}

void decodeIndexRec(const uint8_t* b, TStaticIndexRec& rec) {
    rec.Start = le::i32(b);
    rec.Length = le::i32(b + 4);
    rec.Extra = le::i32(b + 8);
}

void encodeIndexRec(const TStaticIndexRec& rec, uint8_t* b) {
    le::put32(b, uint32_t(rec.Start));
    le::put32(b + 4, uint32_t(rec.Length));
    le::put32(b + 8, uint32_t(rec.Extra));
}

void decodeStaticRec(const uint8_t* b, TStaticRec& rec) {
    rec.ItemId = le::u16(b);
    rec.X = b[2];
    rec.Y = b[3];
    rec.Z = static_cast<int8_t>(b[4]);
    rec.Color = le::u16(b + 5);
}

void encodeStaticRec(const TStaticRec& rec, uint8_t* b) {
    le::put16(b, rec.ItemId);
    b[2] = rec.X;
    b[3] = rec.Y;
    b[4] = static_cast<uint8_t>(rec.Z);
    le::put16(b + 5, rec.Color);
}

std::string tooManyStaticsMessage(int64_t records) {
    return "A block can hold at most " + std::to_string(StaticBlockCapacity) + " statics (" +
           std::to_string(records) + " asked for)";
}

int64_t CheckIndexEntry(const TStaticIndexRec& entry, uint64_t staticsSize, RunCapacity capacity) {
    if (entry.Start == -1) return 0;
    if (entry.Length % StaticRecSize != 0) throw Error(LengthNotMultipleMessage);
    if (entry.Start < 0 || entry.Length < 0) throw Error(msg::ReadBeyondEnd);
    const int64_t records = entry.Length / StaticRecSize;
    if (capacity == RunCapacity::Checked && records > StaticBlockCapacity) throw Error(tooManyStaticsMessage(records));
    if (uint64_t(entry.Start) + uint64_t(entry.Length) > staticsSize) throw Error(msg::ReadBeyondEnd);
    return records;
}

namespace {
// Where the host's layout of an index entry is the file's (little-endian, three packed 32-bit
// fields), the index is read and written in place: one system call each way, no copy.
// Anywhere else the field codecs do the work.
constexpr bool IndexLayoutIsFileLayout =
    std::endian::native == std::endian::little && sizeof(TStaticIndexRec) == StaticIndexRecSize &&
    offsetof(TStaticIndexRec, Start) == 0 && offsetof(TStaticIndexRec, Length) == 4 &&
    offsetof(TStaticIndexRec, Extra) == 8;
} // namespace

void LoadStaticIndex(const std::string& path, StaticIndexBuffer& index, const Progress& progress,
                     std::optional<int> facet) {
    progress.report(0);
    finishInterruptedWorkBeforeReading(path);
    auto file = openFile(path, OpenMode::Read);
    // The world is decided (and a file of the wrong length refused) before the buffer is touched.
    const WorldGeometry world = resolveWorld({{WorldFileKind::StaticIndex, path}}, facet);
    if (file->size() != world.staticIndexBytes()) throw Error(msg::ReadBeyondEnd, path);  // changed under us
    index.reshape(world);
    const uint64_t bytes = world.staticIndexBytes();
    if constexpr (IndexLayoutIsFileLayout) {
        file->read(index.entries.data(), bytes);
        file->close();
        for (int x = 0; x < world.blocksWide; ++x) {
            progress.report(x * 100 / world.blocksWide);
            progress.pumpEvents();
        }
    } else {
        std::vector<uint8_t> raw(bytes);
        file->read(raw.data(), raw.size());
        file->close();
        for (int x = 0; x < world.blocksWide; ++x) {
            const uint8_t* column = raw.data() + size_t(x) * world.staticIndexColumnBytes();
            for (int y = 0; y < world.blocksHigh; ++y) decodeIndexRec(column + y * StaticIndexRecSize, index.at(x, y));
            progress.report(x * 100 / world.blocksWide);
            progress.pumpEvents();
        }
    }
    progress.report(100);
}

void WriteStaticIndex(File& out, const StaticIndexBuffer& index, const Progress& progress) {
    const WorldGeometry& world = index.world();
    if constexpr (IndexLayoutIsFileLayout) {
        for (int x = 0; x < world.blocksWide; ++x) {
            progress.report(90 + x * 10 / world.blocksWide);
            progress.pumpEvents();
        }
        out.write(index.entries.data(), world.staticIndexBytes());
    } else {
        std::vector<uint8_t> bytes(world.staticIndexBytes());
        for (int x = 0; x < world.blocksWide; ++x) {
            uint8_t* column = bytes.data() + size_t(x) * world.staticIndexColumnBytes();
            for (int y = 0; y < world.blocksHigh; ++y) encodeIndexRec(index.at(x, y), column + y * StaticIndexRecSize);
            progress.report(90 + x * 10 / world.blocksWide);
            progress.pumpEvents();
        }
        out.write(bytes.data(), bytes.size());
    }
}

void SaveStaticIndex(const std::string& path, const StaticIndexBuffer& index, const Progress& progress) {
    // Written under a temporary name and renamed: a failure leaves the old index whole.
    AtomicFile out(path);
    WriteStaticIndex(out.file(), index, progress);
    out.commit();
}

void RequireStaticIndexLength(const std::string& path, const StaticIndexBuffer& index) {
    if (!fileExists(path)) return;  // a new index: nothing of another length to lose
    const uint64_t length = fileSystem().fileSize(path);
    if (length != index.world().staticIndexBytes())
        throw Error(path + " is " + groupedNumber(length) + " bytes, but the index in memory is of a " +
                    index.world().blocksText() + "-block world (" + groupedNumber(index.world().staticIndexBytes()) +
                    " bytes); load the index again");
}

void ReadBlockStatics(File& statics, const TStaticIndexRec& entry, TStaticBlock& block) {
    block.clear();
    if (entry.Start == -1) return;
    const int count = int(CheckIndexEntry(entry));
    uint8_t bytes[StaticBlockMaxBytes];
    statics.seek(uint64_t(entry.Start));
    statics.read(bytes, size_t(entry.Length));
    for (int i = 0; i < count; ++i) decodeStaticRec(bytes + i * StaticRecSize, block.Records[size_t(i)]);
    block.Count = uint16_t(count);
}

void ReadBlockStatics(const std::string& staticsPath, const TStaticIndexRec& entry, TStaticBlock& block) {
    block.clear();
    if (entry.Start == -1) return;
    auto file = openFile(staticsPath, OpenMode::Read);
    ReadBlockStatics(*file, entry, block);
    file->close();
}

void WriteBlockStatics(File& statics, TStaticIndexRec& entry, const TStaticBlock& block) {
    if (block.Count > StaticBlockCapacity) throw Error(tooManyStaticsMessage(block.Count));
    const uint64_t end = statics.size();
    // Start and Length are signed 32-bit: a run must end below 2 GB to be addressable.
    if (end + uint64_t(block.Count) * StaticRecSize > 0x7FFFFFFFull)
        throw Error("statics0.mul has grown past 2 GB and cannot take more records");
    uint8_t bytes[StaticBlockMaxBytes];
    for (int i = 0; i < block.Count; ++i) encodeStaticRec(block.Records[size_t(i)], bytes + i * StaticRecSize);
    statics.seek(end);
    statics.write(bytes, size_t(block.Count) * StaticRecSize);
    entry.Start = int32_t(end);
    entry.Length = int32_t(block.Count) * StaticRecSize;
}

void WriteBlockStatics(const std::string& staticsPath, TStaticIndexRec& entry, const TStaticBlock& block) {
    auto file = openFile(staticsPath, OpenMode::ReadWrite);
    TStaticIndexRec updated = entry;
    WriteBlockStatics(*file, updated, block);
    file->close();
    entry = updated;
}

} // namespace tq
