#pragma once
// Shared by the hardening tests: small worlds on disk, the invariants every writer must
// keep, and the fault table that injects a failure at each step of an operation in turn.
#include "core/error.h"
#include "support/classic_world.h"
#include "core/file_system.h"
#include "core/map_file.h"
#include "core/static_index.h"
#include "support/faulty_file_system.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace tq::test {

// ---- small worlds -------------------------------------------------------------------

TStaticRec staticRec(uint16_t id, uint8_t x, uint8_t y, int8_t z = 0, uint16_t hue = 0);

// staidx0.mul + statics0.mul built in memory: every block empty (-1, 0, 0) unless given.
struct StaticsFiles {
    std::unique_ptr<StaticIndexBuffer> index = newStaticIndex();
    std::string statics;
    StaticsFiles();
    StaticsFiles(const StaticsFiles& other);
    StaticsFiles& operator=(const StaticsFiles& other);
    // Appends a run and points the block at it.
    void give(int bx, int by, const std::vector<TStaticRec>& records, int32_t extra = 0);
    std::vector<TStaticRec> records(int bx, int by) const;
    std::string indexBytes() const;
    void write(const std::string& staidxPath, const std::string& staticsPath) const;
};

// A map file of `columns` block columns (the whole map when 768): every block different,
// headers included.
std::string mapBytes(int columns, uint8_t salt = 0);
// A full-size map written sparsely: zero except the given blocks.
void writeFullMap(const std::string& path, const std::map<std::pair<int, int>, TMapBlock>& blocks);
TMapBlock patternBlock(uint8_t seed);

// ---- what a file must look like after any failure ---------------------------------

// "" when staidx0.mul is exactly 4,718,592 bytes and every entry that is not empty lies
// inside statics0.mul with a length that is a whole number of records; else what is wrong.
std::string indexProblem(const std::string& staidxPath, const std::string& staticsPath);
// A world on disk, its index loaded once, for reading many blocks.
struct DiskStatics {
    DiskStatics(const std::string& staidxPath, const std::string& staticsPath);
    std::vector<TStaticRec> block(int bx, int by) const;
    std::unique_ptr<StaticIndexBuffer> index;
    std::string statics;
};
// The records of block (bx, by) as the files on disk give them.
std::vector<TStaticRec> blockOnDisk(const std::string& staidxPath, const std::string& staticsPath, int bx, int by);
// True when both worlds give every block the same records, Extra and emptiness, wherever
// the runs stand in statics0.mul.
bool sameStaticsContent(const std::string& staidxA, const std::string& staticsA, const std::string& staidxB,
                        const std::string& staticsB, std::string* firstDifference = nullptr);
// True when the two files hold the same bytes (read in pieces, so large maps are cheap).
bool sameFileBytes(const std::string& a, const std::string& b);
// The names of the files in a folder, sorted (a temporary file left behind shows here).
std::vector<std::string> filesIn(const std::string& folder);

// ---- the fault table ----------------------------------------------------------------

enum class Fault { FullDisk, RefusedRename, ShortRead };
const char* faultName(Fault fault);
// The message the user must see for the fault.
const char* faultMessage(Fault fault);

struct StepCounts {
    int writes = 0, renames = 0, reads = 0;
};

// The steps at which to inject: every step when there are at most `most`, else `most`
// steps spread evenly, the first and the last among them.
std::vector<int> sampleSteps(int count, int most);

// Runs an operation once to count its steps, then once per sampled step of each kind with
// that step failing: `prepare` sets up fresh files, `operation` runs under the faulty file
// system and must fail with the file layer's message, `check` then asserts the invariants
// (it gets a text naming the fault for its messages). Renames are never sampled: each one
// is injected. Returns the counts of the good run; `injected` receives how many faults
// were injected in all.
struct FaultTable {
    std::string name;  // printed with the counts, for the reliability figures
    std::function<void()> prepare;
    std::function<void()> operation;
    std::function<void(Fault, int step, const std::string& what)> check;
    int mostPerKind = 40;
    StepCounts run(int* injected = nullptr) const;
};

// ---- definitions ---------------------------------------------------------------------


inline TStaticRec staticRec(uint16_t id, uint8_t x, uint8_t y, int8_t z, uint16_t hue) { return {id, x, y, z, hue}; }

inline StaticsFiles::StaticsFiles() {
    index->fill(TStaticIndexRec{-1, 0, 0});
}
inline StaticsFiles::StaticsFiles(const StaticsFiles& other) : statics(other.statics) { *index = *other.index; }
inline StaticsFiles& StaticsFiles::operator=(const StaticsFiles& other) {
    *index = *other.index;
    statics = other.statics;
    return *this;
}

inline void StaticsFiles::give(int bx, int by, const std::vector<TStaticRec>& records, int32_t extra) {
    index->at(bx, by) = {int32_t(statics.size()), int32_t(records.size() * StaticRecSize), extra};
    for (const TStaticRec& r : records) {
        uint8_t b[StaticRecSize];
        encodeStaticRec(r, b);
        statics.append(reinterpret_cast<const char*>(b), sizeof b);
    }
}

inline std::vector<TStaticRec> StaticsFiles::records(int bx, int by) const {
    std::vector<TStaticRec> out;
    const TStaticIndexRec& e = index->at(bx, by);
    if (e.Start == -1) return out;
    for (int i = 0; i < e.Length / StaticRecSize; ++i) {
        TStaticRec r;
        decodeStaticRec(reinterpret_cast<const uint8_t*>(statics.data()) + e.Start + i * StaticRecSize, r);
        out.push_back(r);
    }
    return out;
}

inline std::string StaticsFiles::indexBytes() const {
    std::string bytes(StaticIndexFileSize, '\0');
    for (int x = 0; x < BlocksX; ++x)
        for (int y = 0; y < BlocksY; ++y)
            encodeIndexRec(index->at(x, y), reinterpret_cast<uint8_t*>(bytes.data()) + staticIndexOffset(x, y));
    return bytes;
}

inline void StaticsFiles::write(const std::string& staidxPath, const std::string& staticsPath) const {
    writeBytes(staidxPath, indexBytes());
    writeBytes(staticsPath, statics);
}

inline TMapBlock patternBlock(uint8_t seed) {
    TMapBlock b;
    b.Header = {seed, uint8_t(seed ^ 0x5A), 7, 9};
    for (int i = 0; i < CellsPerBlock; ++i) b.Cells[size_t(i)] = {uint16_t(seed * 64 + i), int8_t(i - 32)};
    return b;
}

inline std::string mapBytes(int columns, uint8_t salt) {
    std::string bytes(size_t(columns) * MapColumnBytes, '\0');
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = char((i * 131 + (i >> 9) + salt) & 0xFF);
    return bytes;
}

inline void writeFullMap(const std::string& path, const std::map<std::pair<int, int>, TMapBlock>& blocks) {
    writeBytes(path, "");
    std::filesystem::resize_file(path, MapFileSize);
    auto file = realFileSystem().open(path, OpenMode::ReadWrite);
    for (const auto& [xy, block] : blocks) WriteMapBlock(*file, xy.first, xy.second, block);
    file->close();
}

namespace detail {
inline std::unique_ptr<StaticIndexBuffer> loadIndex(const std::string& staidxPath) {
    auto index = newStaticIndex();
    ScopedFileSystem real(realFileSystem());
    LoadStaticIndex(staidxPath, *index);
    return index;
}
} // namespace detail

inline std::string indexProblem(const std::string& staidxPath, const std::string& staticsPath) {
    ScopedFileSystem real(realFileSystem());
    if (!fileExists(staidxPath)) return "staidx0.mul is missing";
    const uint64_t size = fileSystem().fileSize(staidxPath);
    if (size != StaticIndexFileSize) return "staidx0.mul is " + std::to_string(size) + " bytes";
    const uint64_t staticsSize = fileExists(staticsPath) ? fileSystem().fileSize(staticsPath) : 0;
    auto index = detail::loadIndex(staidxPath);
    for (int x = 0; x < BlocksX; ++x)
        for (int y = 0; y < BlocksY; ++y) {
            const TStaticIndexRec& e = index->at(x, y);
            if (e.Start == -1) continue;
            const std::string where = "block (" + std::to_string(x) + ", " + std::to_string(y) + ")";
            if (e.Length < 0 || e.Length % StaticRecSize != 0) return where + " has length " + std::to_string(e.Length);
            if (e.Start < 0 || uint64_t(e.Start) + uint64_t(e.Length) > staticsSize)
                return where + " points outside statics0.mul";
        }
    return "";
}

inline DiskStatics::DiskStatics(const std::string& staidxPath, const std::string& staticsPath)
    : index(detail::loadIndex(staidxPath)), statics(readBytes(staticsPath)) {}

inline std::vector<TStaticRec> DiskStatics::block(int bx, int by) const {
    std::vector<TStaticRec> out;
    const TStaticIndexRec& e = index->at(bx, by);
    if (e.Start == -1) return out;
    if (e.Length < 0 || e.Length % StaticRecSize != 0 || e.Start < 0 ||
        uint64_t(e.Start) + uint64_t(e.Length) > statics.size())
        throw Error("block (" + std::to_string(bx) + ", " + std::to_string(by) + ") does not fit its statics");
    for (int i = 0; i < e.Length / StaticRecSize; ++i) {
        TStaticRec r;
        decodeStaticRec(reinterpret_cast<const uint8_t*>(statics.data()) + e.Start + i * StaticRecSize, r);
        out.push_back(r);
    }
    return out;
}

inline std::vector<TStaticRec> blockOnDisk(const std::string& staidxPath, const std::string& staticsPath, int bx, int by) {
    ScopedFileSystem real(realFileSystem());
    auto index = detail::loadIndex(staidxPath);
    TStaticBlock block;
    ReadBlockStatics(staticsPath, index->at(bx, by), block);
    return {block.Records.begin(), block.Records.begin() + block.Count};
}

inline bool sameStaticsContent(const std::string& staidxA, const std::string& staticsA, const std::string& staidxB,
                               const std::string& staticsB, std::string* firstDifference) {
    const DiskStatics a(staidxA, staticsA), b(staidxB, staticsB);
    for (int x = 0; x < BlocksX; ++x)
        for (int y = 0; y < BlocksY; ++y) {
            const TStaticIndexRec& ea = a.index->at(x, y);
            const TStaticIndexRec& eb = b.index->at(x, y);
            bool same = ea.empty() == eb.empty() && ea.Extra == eb.Extra;
            if (same && !ea.empty()) same = ea.Length == eb.Length && a.block(x, y) == b.block(x, y);
            if (!same) {
                if (firstDifference)
                    *firstDifference = "block (" + std::to_string(x) + ", " + std::to_string(y) + ") differs";
                return false;
            }
        }
    return true;
}

inline bool sameFileBytes(const std::string& a, const std::string& b) {
    ScopedFileSystem real(realFileSystem());
    if (!fileExists(a) || !fileExists(b)) return false;
    auto fa = openFile(a, OpenMode::Read), fb = openFile(b, OpenMode::Read);
    if (fa->size() != fb->size()) return false;
    std::vector<char> x(size_t(1) << 20), y(size_t(1) << 20);
    for (;;) {
        const size_t n = fa->readSome(x.data(), x.size());
        const size_t m = fb->readSome(y.data(), y.size());
        if (n != m || std::memcmp(x.data(), y.data(), n) != 0) return false;
        if (n == 0) return true;
    }
}

inline std::vector<std::string> filesIn(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

inline const char* faultName(Fault fault) {
    switch (fault) {
    case Fault::FullDisk: return "full disk at write";
    case Fault::RefusedRename: return "refused rename";
    case Fault::ShortRead: return "short read at read";
    }
    return "";
}

inline const char* faultMessage(Fault fault) {
    switch (fault) {
    case Fault::FullDisk: return msg::DiskFull;
    case Fault::RefusedRename: return msg::AccessDenied;
    case Fault::ShortRead: return msg::ReadBeyondEnd;
    }
    return "";
}

inline std::vector<int> sampleSteps(int count, int most) {
    std::vector<int> steps;
    if (count <= most) {
        for (int s = 1; s <= count; ++s) steps.push_back(s);
        return steps;
    }
    for (int i = 0; i < most; ++i) steps.push_back(1 + int(int64_t(i) * (count - 1) / (most - 1)));
    steps.erase(std::unique(steps.begin(), steps.end()), steps.end());
    return steps;
}

inline StepCounts FaultTable::run(int* injected) const {
    StepCounts counts;
    prepare();
    {
        FaultyFileSystem counter;
        ScopedFileSystem guard(counter);
        operation();
        counts = {counter.writes, counter.renames, counter.reads};
    }
    int total = 0;
    for (Fault fault : {Fault::FullDisk, Fault::RefusedRename, Fault::ShortRead}) {
        const int count = fault == Fault::FullDisk ? counts.writes
                          : fault == Fault::RefusedRename ? counts.renames
                                                          : counts.reads;
        const std::vector<int> steps =
            fault == Fault::RefusedRename ? sampleSteps(count, count) : sampleSteps(count, mostPerKind);
        for (int step : steps) {
            const std::string what = name + ": " + faultName(fault) + " " + std::to_string(step);
            prepare();
            FaultyFileSystem faulty;
            (fault == Fault::FullDisk ? faulty.failWriteAt
             : fault == Fault::RefusedRename ? faulty.failRenameAt
                                             : faulty.shortReadAt) = step;
            try {
                ScopedFileSystem guard(faulty);
                operation();
                ADD_FAILURE() << what << ": the operation reported success";
            } catch (const Error& e) {
                EXPECT_STREQ(e.what(), faultMessage(fault)) << what;
            }
            EXPECT_TRUE(faulty.faulted) << what << ": the fault was never reached";
            check(fault, step, what);
            ++total;
        }
    }
    std::printf("[fault table] %s: %d writes, %d renames, %d reads in a good run; %d faults injected\n",
                name.c_str(), counts.writes, counts.renames, counts.reads, total);
    if (injected) *injected = total;
    return counts;
}

} // namespace tq::test
