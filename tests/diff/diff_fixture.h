#pragma once
// Small hand-made worlds and packages for the diff tests.
#include "core/file_system.h"
#include "support/classic_world.h"
#include "support/forwarding_file_system.h"
#include "core/map_file.h"
#include "core/spaced_hex.h"
#include "core/static_index.h"
#include "diff/diff.h"
#include "diff/diff_package.h"
#include "support/temp_dir.h"

#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace tq::test {

inline TStaticRec rec(uint16_t id, uint8_t x = 1, uint8_t y = 2, int8_t z = 3, uint16_t hue = 0) {
    return TStaticRec{id, x, y, z, hue};
}

inline std::string recordBytes(const std::vector<TStaticRec>& records) {
    std::string bytes(records.size() * StaticRecSize, '\0');
    for (size_t i = 0; i < records.size(); ++i)
        encodeStaticRec(records[i], reinterpret_cast<uint8_t*>(bytes.data()) + i * StaticRecSize);
    return bytes;
}

// The statics of a world, built in memory and written as staidx0.mul + statics0.mul.
struct StaticsWorld {
    std::unique_ptr<StaticIndexBuffer> index = newStaticIndex();
    std::string statics;

    // Every entry empty the way melt leaves it, unless a test says otherwise.
    StaticsWorld() {
        index->fill(TStaticIndexRec{-1, 0, 0});
    }
    StaticsWorld(const StaticsWorld& other) : index(newStaticIndex()), statics(other.statics) { *index = *other.index; }
    StaticsWorld& operator=(const StaticsWorld& other) {
        *index = *other.index;
        statics = other.statics;
        return *this;
    }

    // Appends a run at the end of the statics and points block (x, y) at it.
    void put(int x, int y, const std::vector<TStaticRec>& records, int32_t extra = 0) {
        index->at(x, y) = {int32_t(statics.size()), int32_t(records.size() * StaticRecSize), extra};
        statics += recordBytes(records);
    }
    void write(const std::string& staidxPath, const std::string& staticsPath) const {
        SaveStaticIndex(staidxPath, *index);
        writeBytes(staticsPath, statics);
    }
};

// The records block (x, y) holds in a world on disk.
inline std::vector<TStaticRec> blockStatics(const std::string& staidx, const std::string& statics, int x, int y) {
    auto index = newStaticIndex();
    LoadStaticIndex(staidx, *index);
    TStaticBlock block;
    ReadBlockStatics(statics, index->at(x, y), block);
    return {block.Records.begin(), block.Records.begin() + block.Count};
}

inline TMapBlock mapBlock(uint8_t seed) {
    TMapBlock b;
    b.Header = {seed, 0, 0, uint8_t(seed ^ 0x5A)};
    for (int i = 0; i < CellsPerBlock; ++i) b.Cells[size_t(i)] = {uint16_t(seed * 64 + i), int8_t(i - 32)};
    return b;
}

// A full-size map, all zero (sparse on disk, so cheap), with the given blocks set.
inline void makeMap(const std::string& path, const std::map<std::pair<int, int>, TMapBlock>& blocks = {}) {
    writeBytes(path, "");
    std::filesystem::resize_file(path, MapFileSize);
    auto file = openFile(path, OpenMode::ReadWrite);
    for (const auto& [xy, block] : blocks) WriteMapBlock(*file, xy.first, xy.second, block);
    file->close();
}

// The six files of a diff, in folders orig/ and mod/ under one temporary folder.
struct DiffWorld {
    TempDir dir;
    DiffPaths paths;
    DiffWorld() {
        std::filesystem::create_directory(dir.path() / "orig");
        std::filesystem::create_directory(dir.path() / "mod");
        paths = {dir.file("orig/staidx0.mul"), dir.file("orig/statics0.mul"), dir.file("orig/map0.mul"),
                 dir.file("mod/staidx0.mul"),  dir.file("mod/statics0.mul"),  dir.file("mod/map0.mul")};
    }
    std::string file(const std::string& name) const { return dir.file(name); }
};

// Another program writing a static index while an operation reads it: when the file is
// opened for reading the second time, one entry's Extra word (which no comparison looks
// at) is changed on disk first. Everything else goes to the real file system.
class IndexRewrittenBetweenReads : public ForwardingFileSystem {
public:
    explicit IndexRewrittenBetweenReads(std::string index) : index_(std::move(index)) {}
    int opens = 0;
    std::unique_ptr<File> open(const std::string& path, OpenMode mode) override {
        if (path == index_ && mode == OpenMode::Read && ++opens == 2) {
            auto file = base_.open(path, OpenMode::ReadWrite);
            file->seek(8);  // block (0, 0)'s Extra
            const uint8_t changed[4] = {0x5a, 0x5a, 0x5a, 0x5a};
            file->write(changed, sizeof changed);
            file->close();
        }
        return base_.open(path, mode);
    }

private:
    std::string index_;
};

// Builds a package byte by byte, for packages no generator would write.
struct PackageBuilder {
    TDiffHeader header{ClassicDiffVersion, -1, 0, 0, 0, 0, -1, 0};
    std::string data;  // what follows the header, before the tables
    std::map<int, TDiffStaticsEntry> statics;  // block number -> entry; the rest staticsRest
    TDiffStaticsEntry staticsRest{-1, -1};
    std::map<int, TDiffMapEntry> map;          // block number -> entry; the rest -1
    bool withStatics = true, withMap = true;

    // Appends records as package data and returns their entry.
    TDiffStaticsEntry addRecords(const std::vector<TStaticRec>& records) {
        const TDiffStaticsEntry e{int32_t(DiffHeaderSize + data.size()), int32_t(records.size() * StaticRecSize)};
        data += recordBytes(records);
        return e;
    }
    TDiffMapEntry addMapBlock(const TMapBlock& block) {
        const TDiffMapEntry pos = int32_t(DiffHeaderSize + data.size());
        std::string bytes(MapBlockSize, '\0');
        encodeMapBlock(block, reinterpret_cast<uint8_t*>(bytes.data()));
        data += bytes;
        return pos;
    }
    std::string bytes() {
        std::string tables;
        if (withStatics) {
            header.StaticsIndexPos = int32_t(DiffHeaderSize + data.size());
            std::string t(DiffStaticsIndexSize(ClassicWorld), '\0');
            auto* bytes = reinterpret_cast<uint8_t*>(t.data());
            for (int n = 0; n < BlockCount; ++n) encodeDiffStaticsEntry(staticsRest, bytes + size_t(n) * DiffStaticsEntrySize);
            for (const auto& [n, e] : statics) encodeDiffStaticsEntry(e, bytes + size_t(n) * DiffStaticsEntrySize);
            tables += t;
        }
        if (withMap) {
            header.MapIndexPos = int32_t(DiffHeaderSize + data.size() + tables.size());
            std::string t(DiffMapIndexSize(ClassicWorld), '\xFF');
            for (const auto& [n, pos] : map) {
                const uint32_t v = uint32_t(pos);
                std::memcpy(t.data() + size_t(n) * DiffMapEntrySize, &v, 4);
            }
            tables += t;
        }
        std::string head(DiffHeaderSize, '\0');
        encodeDiffHeader(header, reinterpret_cast<uint8_t*>(head.data()));
        return head + data + tables;
    }
};

// Records what a window would show: messages and bar positions, in order.
struct ProgressLog {
    std::vector<std::string> events;  // "m:<text>" or "b:<value>"
    int pumps = 0;
    Progress progress() {
        Progress p;
        p.position = [this](int v) { events.push_back("b:" + std::to_string(v)); };
        p.message = [this](const std::string& t) { events.push_back("m:" + t); };
        p.pump = [this] { ++pumps; };
        return p;
    }
};

inline TDiffHeader readHeader(const std::string& package) {
    const std::string bytes = readBytes(package);
    TDiffHeader h;
    decodeDiffHeader(reinterpret_cast<const uint8_t*>(bytes.data()), h);
    return h;
}

inline bool onlyFilesAre(const std::filesystem::path& dir, std::vector<std::string> names) {
    std::vector<std::string> found;
    for (const auto& e : std::filesystem::directory_iterator(dir)) found.push_back(e.path().filename().string());
    std::sort(found.begin(), found.end());
    std::sort(names.begin(), names.end());
    return found == names;
}

} // namespace tq::test
