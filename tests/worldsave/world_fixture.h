#pragma once
// Small client files and world-save texts made in the test.
#include "core/static_index.h"
#include "support/classic_world.h"
#include "support/temp_dir.h"

#include <string>
#include <vector>

namespace tq::test {

// A world item as the server writes it (CRLF), with optional extra body lines.
inline std::string worldItem(int section, int id, int x, int y, int type, const std::string& extra = "",
                             int container = -1) {
    return "SECTION WORLDITEM " + std::to_string(section) + "\r\n{\r\nSERIAL " + std::to_string(1000 + section) +
           "\r\nNAME #\r\nID " + std::to_string(id) + "\r\nX " + std::to_string(x) + "\r\nY " + std::to_string(y) +
           "\r\nZ 0\r\nCOLOR 0\r\nCONT " + std::to_string(container) + "\r\nTYPE " + std::to_string(type) + "\r\n" +
           extra + "}\r\n\r\n";
}

inline std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t lf = text.find('\n', pos);
        if (lf == std::string::npos) lf = text.size();
        std::string line = text.substr(pos, lf - pos);
        if (!line.empty() && line.back() == '\r' && lf < text.size()) line.pop_back();
        lines.push_back(line);
        pos = lf + 1;
    }
    return lines;
}

inline std::string staticBytes(const std::vector<TStaticRec>& recs) {
    std::string bytes(recs.size() * 7, '\0');
    for (size_t i = 0; i < recs.size(); ++i) encodeStaticRec(recs[i], reinterpret_cast<uint8_t*>(&bytes[i * 7]));
    return bytes;
}

inline std::vector<TStaticRec> staticRecords(const std::string& statics, const TStaticIndexRec& e) {
    std::vector<TStaticRec> recs;
    if (e.Start == -1) return recs;
    for (int i = 0; i < e.Length / 7; ++i) {
        TStaticRec r;
        decodeStaticRec(reinterpret_cast<const uint8_t*>(statics.data()) + e.Start + i * 7, r);
        recs.push_back(r);
    }
    return recs;
}

// staidx0.mul, statics0.mul and a world-save in one temporary folder; every block
// empty (-1, 0, 0) unless a test gives it statics.
struct ClientFiles {
    TempDir dir;
    std::string staidx = dir.file("staidx0.mul");
    std::string statics = dir.file("statics0.mul");
    std::string wsc = dir.file("items.wsc");
    std::string pat = dir.file("out.pat");
    std::unique_ptr<StaticIndexBuffer> index = newStaticIndex();
    std::string staticsBytes;
    std::vector<std::pair<int, int>> given;  // blocks given statics (the rest are empty)

    static const StaticIndexBuffer& emptyIndex() {
        static const std::unique_ptr<StaticIndexBuffer> empty = [] {
            auto e = newStaticIndex();
            e->fill(TStaticIndexRec{-1, 0, 0});
            return e;
        }();
        return *empty;
    }

    ClientFiles() { *index = emptyIndex(); }
    void giveStatics(int bx, int by, const std::vector<TStaticRec>& recs, int32_t extra = 0) {
        index->at(bx, by) = TStaticIndexRec{int32_t(staticsBytes.size()), int32_t(recs.size() * 7), extra};
        staticsBytes += staticBytes(recs);
        given.push_back({bx, by});
    }
    // Writes the three files from the fields above and `worldSave`. Plain writes from an
    // encoded empty index: the fixture needs no durable save, and the tests run faster.
    // Entries set in `index` directly, not through giveStatics, stay in memory only.
    void write(const std::string& worldSave) {
        static const std::string emptyBytes = [] {
            std::string bytes;
            for (int i = 0; i < BlockCount; ++i) bytes.append("\xff\xff\xff\xff\0\0\0\0\0\0\0\0", 12);
            return bytes;
        }();
        std::string bytes = emptyBytes;
        for (auto [x, y] : given)
            encodeIndexRec(index->at(x, y), reinterpret_cast<uint8_t*>(&bytes[staticIndexOffset(x, y)]));
        writeBytes(staidx, bytes);
        writeBytes(statics, staticsBytes);
        writeBytes(wsc, worldSave);
    }
    std::vector<TStaticRec> blockOnDisk(int bx, int by) const {
        auto disk = newStaticIndex();
        LoadStaticIndex(staidx, *disk);
        return staticRecords(readBytes(statics), disk->at(bx, by));
    }
};

} // namespace tq::test
