#pragma once
// The small facet 4 world the check and compact tests damage one fault at a time.
#include "core/static_index.h"

#include "support/temp_dir.h"

#include <algorithm>
#include <string>
#include <vector>

namespace tq::test {

inline const WorldGeometry Facet4(4, 181, 181);

// A small, sound facet 4 world: block (1, 1) holds two statics, block (2, 0) five; the map is
// all tile 3 and the art beside it knows land tiles 0..255; items.wsc holds a character, a
// chest on the ground with an apple in it, and an item on the ground.
class SmallWorld {
public:
    TempDir dir;
    std::string staidx = dir.file("staidx4.mul"), statics = dir.file("statics4.mul"), map = dir.file("map4.mul"),
                wsc = dir.file("items.wsc");
    StaticIndexBuffer index{Facet4};

    SmallWorld() {
        index.fill(TStaticIndexRec{-1, -1, 0});
        writeBytes(statics, "");
        index.at(1, 1) = appendRun({{0x0EED, 5, 2, -5, 0}, {0x0001, 0, 7, 127, 0x1234}});
        index.at(2, 0) = appendRun(std::vector<TStaticRec>(5, TStaticRec{0x0100, 3, 3, 0, 0}));
        SaveStaticIndex(staidx, index);
        std::string cells(Facet4.mapBytes(), '\0');
        for (int b = 0; b < Facet4.blockCount(); ++b)
            for (int c = 0; c < CellsPerBlock; ++c) cells[size_t(b) * MapBlockSize + MapBlockHeaderSize + c * MapCellSize] = 3;
        writeBytes(map, cells);
        writeBytes(dir.file("artidx.mul"), std::string(256 * 12, '\0'));
        writeBytes(wsc, saveText());
    }
    // Appends the records to the statics file; the entry that points at them.
    TStaticIndexRec appendRun(const std::vector<TStaticRec>& records) {
        std::string bytes = readBytes(statics);
        const auto start = int32_t(bytes.size());
        for (const TStaticRec& r : records) {
            uint8_t rec[StaticRecSize];
            encodeStaticRec(r, rec);
            bytes.append(reinterpret_cast<const char*>(rec), StaticRecSize);
        }
        writeBytes(statics, bytes);
        return {start, int32_t(records.size() * StaticRecSize), 0};
    }
    void setEntry(int x, int y, TStaticIndexRec e) {
        index.at(x, y) = e;
        SaveStaticIndex(staidx, index);
    }
    static std::string saveText(const std::string& apple = "CONT 1073741825\r\n", const std::string& x = "X 100\r\n") {
        return "SECTION CHARACTER 0\r\n{\r\nSERIAL 1\r\nNAME Aldric\r\n}\r\n\r\n"
               "SECTION WORLDITEM 0\r\n{\r\nSERIAL 1073741825\r\nNAME a chest\r\nID 3650\r\n" + x +
               "Y 200\r\nZ 0\r\nCONT -1\r\n}\r\n\r\n"
               "SECTION WORLDITEM 1\r\n{\r\nSERIAL 1073741826\r\nNAME an apple\r\nID 2512\r\nX 30\r\nY 40\r\n" +
               apple + "}\r\n\r\nSECTION WORLDITEM 2\r\n{\r\nSERIAL 1073741827\r\nID 3821\r\nX 1447\r\nY 1447\r\n"
               "CONT -1\r\nTYPE 255\r\n}\r\nEOF\r\n";
    }
    std::vector<std::string> lines(const std::string& text) const {
        std::vector<std::string> out;
        size_t at = 0;
        while (at < text.size()) {
            const size_t end = text.find('\n', at);
            out.push_back(text.substr(at, end - at));
            at = end == std::string::npos ? text.size() : end + 1;
        }
        return out;
    }
};

inline bool hasLine(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

} // namespace tq::test
