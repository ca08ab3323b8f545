// Damaged inputs, each with the message the user must get and the files that must stay
// as they were: client files cut short or pointing past their ends, world-save texts with
// what hand-editing leaves behind, hostile diff packages, picture indexes past their data.
#include "core/int_parse.h"
#include "support/classic_world.h"
#include "core/spaced_hex.h"
#include "diff/diff.h"
#include "diff/diff_package.h"
#include "fillclear/fill_clear.h"
#include "hardening_support.h"
#include "mapedit/region_copy.h"
#include "mapedit/tile_image.h"
#include "worldsave/freeze.h"
#include "worldsave/melt.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

namespace tq {
namespace {

using test::readBytes;
using test::staticRec;
using test::StaticsFiles;
using test::TempDir;
using test::writeBytes;

namespace fs = std::filesystem;

std::string item(int section, int x, int y, const std::string& body = "TYPE 255\r\n") {
    return "SECTION WORLDITEM " + std::to_string(section) + "\r\n{\r\nID 77\r\nX " + std::to_string(x) + "\r\nY " +
           std::to_string(y) + "\r\n" + body + "}\r\n";
}

// One client world with everything an operation may read: staidx0.mul, statics0.mul, a
// world-save with one item in block (1, 1), a patch file, a small map, and (for the diff
// rows) original and modified worlds with full-size maps and a package between them.
struct World {
    TempDir dir;
    std::string staidx = dir.file("staidx0.mul"), statics = dir.file("statics0.mul"), wsc = dir.file("items.wsc"),
                pat = dir.file("out.pat"), map = dir.file("map0.mul"), package = dir.file("p.tq2");
    DiffPaths diff;
    StaticsFiles files;

    explicit World(bool withDiff) {
        files.give(1, 1, {staticRec(10, 1, 1), staticRec(11, 2, 2)}, 3);
        files.give(0, 0, {staticRec(12, 0, 0)});
        files.write(staidx, statics);
        writeBytes(wsc, "// save\r\n" + item(1, 9, 9) + "EOF\r\n");
        writeBytes(pat, "SECTION WORLDITEM 40\r\n{\r\nSERIAL 1073741900\r\n}\r\nEOF\r\n");
        writeBytes(map, test::mapBytes(4));
        if (!withDiff) return;
        fs::create_directory(dir.path() / "orig");
        fs::create_directory(dir.path() / "mod");
        diff = {dir.file("orig/staidx0.mul"), dir.file("orig/statics0.mul"), dir.file("orig/map0.mul"),
                dir.file("mod/staidx0.mul"),  dir.file("mod/statics0.mul"),  dir.file("mod/map0.mul")};
        StaticsFiles mod = files;
        mod.give(1, 1, {staticRec(13, 3, 3)});
        mod.give(5, 5, {staticRec(14, 4, 4)});
        files.write(diff.origStaIdx, diff.origStatics);
        test::writeFullMap(diff.origMap, {{{2, 2}, test::patternBlock(8)}});
        // The package between the two worlds, made once.
        static const std::string packageBytes = [&] {
            mod.write(diff.modStaIdx, diff.modStatics);
            test::writeFullMap(diff.modMap, {{{2, 2}, test::patternBlock(9)}});
            GenerateDiff(diff, package, {});
            return readBytes(package);
        }();
        writeBytes(package, packageBytes);
        // The player's modified files start as copies of the originals.
        files.write(diff.modStaIdx, diff.modStatics);
        test::writeFullMap(diff.modMap, {{{2, 2}, test::patternBlock(8)}});
    }

    // Every file below the folder, with its size and a digest of its bytes (for the
    // full-size maps, which nothing here may write, their time of last change).
    std::map<std::string, std::pair<uintmax_t, size_t>> snapshot() const {
        std::map<std::string, std::pair<uintmax_t, size_t>> out;
        for (const auto& e : fs::recursive_directory_iterator(dir.path())) {
            if (!e.is_regular_file()) continue;
            const size_t digest = e.file_size() > (8u << 20)
                                      ? size_t(e.last_write_time().time_since_epoch().count())
                                      : std::hash<std::string>{}(readBytes(e.path().string()));
            out[fs::relative(e.path(), dir.path()).string()] = {e.file_size(), digest};
        }
        return out;
    }

    void setEntry(const std::string& staidxPath, int bx, int by, TStaticIndexRec e) {
        std::string bytes = readBytes(staidxPath);
        encodeIndexRec(e, reinterpret_cast<uint8_t*>(bytes.data()) + staticIndexOffset(bx, by));
        writeBytes(staidxPath, bytes);
    }
    void cut(const std::string& path, uint64_t size) { fs::resize_file(path, size); }
    void patchPackage(uint64_t at, int32_t value) {
        std::string bytes = readBytes(package);
        for (int i = 0; i < 4; ++i) bytes[at + size_t(i)] = char(uint32_t(value) >> (8 * i));
        writeBytes(package, bytes);
    }
    uint64_t staticsTableAt() const { return uint64_t(test_header().StaticsIndexPos); }
    TDiffHeader test_header() const {
        TDiffHeader h;
        decodeDiffHeader(reinterpret_cast<const uint8_t*>(readBytes(package).data()), h);
        return h;
    }

    // The operations as the windows run them.
    void freeze() {
        auto index = newStaticIndex();
        LoadStaticIndex(staidx, *index);
        FreezeOptions o;
        o.staidxPath = staidx;
        o.staticsPath = statics;
        o.worldSavePath = wsc;
        o.writePat = true;
        o.patPath = pat;
        FreezeWorld(o, *index, {}, {});
    }
    void melt(int bx = 1, int by = 1) {
        auto index = newStaticIndex();
        LoadStaticIndex(staidx, *index);
        MeltBlock({staidx, statics, wsc, false}, bx, by, *index, {}, {});
    }
    void fill(const char* left = "4", const char* top = "4", const char* right = "12", const char* bottom = "12",
              bool statics = true, bool map = true) {
        FillClearInput in;
        in.Left = left, in.Top = top, in.Right = right, in.Bottom = bottom;
        in.ClearStatics = statics, in.FillMap = map;
        in.StaIdxPath = staidx, in.StaticsPath = this->statics, in.MapPath = this->map;
        in.Tile = "00 A8";
        FillClear(in);
    }
    void copy() {
        MapRegionTexts c;
        c.SFX = "0", c.SFY = "0", c.STX = "7", c.STY = "7", c.DFX = "8", c.DFY = "8", c.DTX = "15", c.DTY = "15";
        CopyMapRegion(map, map, c);
    }
    void generate() { GenerateDiff(diff, dir.file("new.tq2"), {}); }
    void apply() { ApplyDiff(diff, package); }
};

struct Row {
    const char* name;
    bool diff;  // needs the diff worlds (full-size maps)
    std::function<void(World&)> damage;
    std::function<void(World&)> run;
    std::string message;  // exact, or with `prefix` its beginning
    bool prefix = false;
};

// A file whose length is no world of its facet is refused naming it; the rows check the
// part of the message that does not depend on the test's folder.
const std::string WrongLength = " bytes; a facet 0 ";

void runRows(const std::vector<Row>& rows) {
    for (const Row& row : rows) {
        World w(row.diff);
        row.damage(w);
        const auto before = w.snapshot();
        try {
            row.run(w);
            ADD_FAILURE() << row.name << ": accepted";
        } catch (const Error& e) {
            const std::string got = e.what();
            if (row.prefix) EXPECT_EQ(got.substr(0, row.message.size()), row.message) << row.name;
            else if (row.message == WrongLength) EXPECT_NE(got.find(WrongLength), std::string::npos) << got;
            else EXPECT_EQ(got, row.message) << row.name;
        }
        EXPECT_TRUE(w.snapshot() == before) << row.name << ": a file changed or a temporary file was left";
    }
}

const std::string LengthMessage = LengthNotMultipleMessage;
const std::string Short = msg::ReadBeyondEnd;

TEST(BadInput, DamagedClientFiles) {
    const auto shortIndex = [](World& w) { w.cut(w.staidx, StaticIndexFileSize - 12); };
    const auto pastEnd = [](World& w) {
        w.setEntry(w.staidx, 1, 1, {int32_t(w.files.statics.size()) - 7, 14, 3});
    };
    const auto length20 = [](World& w) { w.setEntry(w.staidx, 1, 1, {0, 20, 3}); };
    const auto tooMany = [](World& w) {
        writeBytes(w.statics, w.files.statics + std::string(2049 * 7, '\1'));
        w.setEntry(w.staidx, 1, 1, {int32_t(w.files.statics.size()), 2049 * 7, 3});
    };
    const auto origPastEnd = [](World& w) {
        w.setEntry(w.diff.origStaIdx, 1, 1, {int32_t(w.files.statics.size()) - 7, 14, 3});
    };
    // Applying first compares the checksum of the original index, so these keep it: the
    // statics are cut short under block (0, 0), which the package takes from them, or
    // its Length and Extra change together.
    const auto origStaticsCut = [](World& w) { w.cut(w.diff.origStatics, 16); };
    const auto origLength20 = [](World& w) { w.setEntry(w.diff.origStaIdx, 0, 0, {14, 20, 7 ^ 20}); };
    runRows({
        {"short staidx0.mul: freeze", false, shortIndex, [](World& w) { w.freeze(); }, WrongLength},
        {"short staidx0.mul: melt", false, shortIndex, [](World& w) { w.melt(); }, WrongLength},
        {"short staidx0.mul: fill of the whole world", false, shortIndex,
         [](World& w) { w.fill("0", "0", "6143", "4095", true, false); }, Short},
        {"short staidx0.mul: generate", true, [](World& w) { w.cut(w.diff.origStaIdx, 4000); },
         [](World& w) { w.generate(); }, WrongLength},
        {"short staidx0.mul: apply", true, [](World& w) { w.cut(w.diff.origStaIdx, 4000); },
         [](World& w) { w.apply(); }, WrongLength},

        {"run past the end of statics0.mul: freeze", false, pastEnd, [](World& w) { w.freeze(); }, Short},
        {"run past the end of statics0.mul: melt", false, pastEnd, [](World& w) { w.melt(); }, Short},
        {"run past the end of statics0.mul: fill", false, pastEnd, [](World& w) { w.fill(); }, Short},
        {"run past the end of statics0.mul: apply", true, origStaticsCut, [](World& w) { w.apply(); }, Short},
        {"run past the end of statics0.mul: generate", true, origPastEnd, [](World& w) { w.generate(); }, Short},

        {"Length 20: freeze", false, length20, [](World& w) { w.freeze(); }, LengthMessage},
        {"Length 20: melt", false, length20, [](World& w) { w.melt(); }, LengthMessage},
        {"Length 20: fill", false, length20, [](World& w) { w.fill(); }, LengthMessage},
        {"Length 20: apply", true, origLength20, [](World& w) { w.apply(); }, LengthMessage},

        {"Length of 2049 records: freeze", false, tooMany, [](World& w) { w.freeze(); },
         "Block (1, 1) would hold 2050 statics, but a block can hold at most 2048. Nothing was changed."},
        {"Length of 2049 records: melt", false, tooMany, [](World& w) { w.melt(); }, tooManyStaticsMessage(2049)},
        {"Length of 2049 records: fill", false, tooMany, [](World& w) { w.fill(); }, tooManyStaticsMessage(2049)},

        {"map shorter than one block: fill", false, [](World& w) { w.cut(w.map, 100); },
         [](World& w) { w.fill("0", "0", "3", "3", false, true); }, Short},
        {"map shorter than one block: copy", false, [](World& w) { w.cut(w.map, 100); },
         [](World& w) { w.copy(); }, Short},
        {"map shorter than one block: apply", true, [](World& w) { w.cut(w.diff.modMap, 100); },
         [](World& w) { w.apply(); }, WrongLength},
        {"map shorter than one block: generate", true, [](World& w) { w.cut(w.diff.modMap, 100); },
         [](World& w) { w.generate(); }, WrongLength},
    });
}

TEST(BadInput, DamagedWorldSaves) {
    auto worldSave = [](std::string text) { return [text](World& w) { writeBytes(w.wsc, text); }; };
    const auto freeze = [](World& w) { w.freeze(); };
    std::string hugeNumber(1 << 20, '7');
    std::string nul = "1";
    nul += '\0';
    nul += "2";
    runRows({
        {"a 1 MB number", false, worldSave(item(1, 9, 9) + "X " + hugeNumber + "\r\n"), freeze,
         "'" + std::string(97, '7') + "...' is not a valid integer value"},
        {"a NUL byte inside a number", false, worldSave(item(1, 9, 9, "TYPE " + nul + "\r\n")), freeze,
         "'1?2' is not a valid integer value"},
        {"a number beyond 32 bits", false, worldSave(item(1, 9, 9, "TYPE 4294967551\r\n")),
         freeze, notAnIntegerMessage("4294967551")},
        {"a section number beyond 32 bits", false, worldSave("SECTION WORLDITEM 99999999999\r\n{\r\nTYPE 255\r\n}\r\n"),
         freeze, notAnIntegerMessage("99999999999")},
        {"a bad COLOR in an item to freeze", false, worldSave(item(1, 9, 9, "COLOR blue\r\nTYPE 255\r\n")), freeze,
         notAnIntegerMessage("BLUE")},
        {"an item outside the world", false, worldSave(item(7, 6200, 9)), freeze,
         "Invalid item in patch file! (Item#: 7)"},
        {"a bad SERIAL in the patch file", false,
         [](World& w) { writeBytes(w.pat, "SECTION WORLDITEM 40\r\nSERIAL 12x\r\nEOF\r\n"); }, freeze,
         notAnIntegerMessage("12X")},
        {"a bad SERIAL in the world-save a block melts into", false,
         [](World& w) { writeBytes(w.wsc, "SERIAL $FFFFFFFFF\r\nEOF\r\n"); }, [](World& w) { w.melt(); },
         notAnIntegerMessage("$FFFFFFFFF")},
    });
}

// Damage the reader takes in its stride: the file is frozen, and what is not frozen is
// kept byte for byte.
TEST(BadInput, DamagedWorldSavesThatStillRead) {
    const std::string longName(1 << 20, 'n');
    std::string nulName = "NAME a";
    nulName += '\0';
    nulName += "b\r\n";
    struct Case {
        const char* name;
        std::string text;
        std::vector<TStaticRec> frozen;  // block (1, 1) gains these records
        std::string kept;                // the world-save afterwards
    };
    const std::string unclosed = "SECTION WORLDITEM 2\r\n{\r\nX 9\r\nY 9\r\nTYPE 255\r\n";
    const Case cases[] = {
        {"a 1 MB line", "NAME " + longName + "\r\n" + item(1, 9, 9), {staticRec(77, 1, 1)}, "NAME " + longName + "\r\n"},
        {"NUL bytes in a name", nulName + item(1, 9, 9), {staticRec(77, 1, 1)}, nulName},
        {"no closing brace", item(1, 9, 9) + unclosed, {staticRec(77, 1, 1)}, unclosed},
        {"no EOF line", item(1, 9, 9) + "trailing\r\n", {staticRec(77, 1, 1)}, "trailing\r\n"},
        {"$ hex values", "SECTION WORLDITEM $1\r\n{\r\nID $4D\r\nX $9\r\nY 9\r\nZ $FF\r\nTYPE $FF\r\n}\r\n",
         {staticRec(77, 1, 1, -1)}, ""},
    };
    for (const Case& c : cases) {
        World w(false);
        writeBytes(w.wsc, c.text);
        w.freeze();
        const auto recs = test::blockOnDisk(w.staidx, w.statics, 1, 1);
        std::vector<TStaticRec> want = w.files.records(1, 1);
        want.insert(want.end(), c.frozen.begin(), c.frozen.end());
        EXPECT_EQ(recs, want) << c.name;
        EXPECT_EQ(readBytes(w.wsc), c.kept) << c.name;
        EXPECT_EQ(test::indexProblem(w.staidx, w.statics), "") << c.name;
    }
}

TEST(BadInput, HostilePackages) {
    const auto apply = [](World& w) { w.apply(); };
    const std::string invalid = "Invalid TQD file";
    auto header = [](int field, int32_t value) {
        return [field, value](World& w) { w.patchPackage(uint64_t(field) * 4, value); };
    };
    auto staticsEntry = [](int block, int32_t pos, int32_t length) {
        return [=](World& w) {
            const uint64_t at = w.staticsTableAt() + uint64_t(block) * DiffStaticsEntrySize;
            w.patchPackage(at, pos);
            w.patchPackage(at + 4, length);
        };
    };
    auto mapEntry = [](int block, int32_t pos) {
        return [=](World& w) {
            w.patchPackage(uint64_t(w.test_header().MapIndexPos) + uint64_t(block) * DiffMapEntrySize, pos);
        };
    };
    runRows({
        {"version 3", true, header(0, 3), apply, invalid, true},
        {"neither part", true,
         [](World& w) {
             w.patchPackage(4, -1);
             w.patchPackage(24, -1);
         },
         apply, invalid, true},
        {"statics index past the end", true, header(1, 0x7FFFFFF0), apply, invalid, true},
        {"statics index inside the header", true, header(1, 12), apply, invalid, true},
        {"map index negative", true, header(6, -100), apply, invalid, true},
        {"statics entry of 20 bytes", true, staticsEntry(9, 1024, 20), apply, invalid, true},
        {"statics entry of 2049 records", true, staticsEntry(9, 1024, 2049 * 7), apply, invalid, true},
        {"statics entry past the end", true, staticsEntry(9, 0x7FFFFF00, 7), apply, invalid, true},
        {"statics entry inside the header", true, staticsEntry(9, 10, 7), apply, invalid, true},
        {"statics entry with a negative length", true, staticsEntry(9, 1024, -7), apply, invalid, true},
        {"map entry past the end", true, mapEntry(3, 0x7FFFFFF0), apply, invalid, true},
        {"map entry inside the header", true, mapEntry(3, 100), apply, invalid, true},
        {"cut short", true, [](World& w) { w.cut(w.package, fs::file_size(w.package) - 1); }, apply, invalid, true},
        {"shorter than its header", true, [](World& w) { w.cut(w.package, 100); }, apply, invalid, true},
        {"made from other originals", true, [](World& w) { w.setEntry(w.diff.origStaIdx, 9, 9, {-1, 0, 1}); }, apply,
         "The CRC value of your orginal statics file (", true},
        {"not named .tq2", true, [](World& w) { fs::copy_file(w.package, w.dir.file("p.tqd")); },
         [](World& w) { ApplyDiff(w.diff, w.dir.file("p.tqd")); }, WrongPackageExtensionMessage},
    });
}

TEST(BadInput, PictureIndexesPastTheirFiles) {
    TempDir dir;
    auto index = [](std::vector<std::pair<int32_t, int32_t>> entries) {
        std::string bytes;
        for (auto [offset, length] : entries) {
            uint8_t b[12] = {};
            for (int i = 0; i < 4; ++i) b[i] = uint8_t(uint32_t(offset) >> (8 * i)), b[4 + i] = uint8_t(uint32_t(length) >> (8 * i));
            bytes.append(reinterpret_cast<const char*>(b), 12);
        }
        return bytes;
    };
    writeBytes(dir.file("texmaps.mul"), std::string(8192, '\x11'));
    writeBytes(dir.file("art.mul"), std::string(2048, '\x22'));
    // id 0: texture past the end of texmaps.mul; id 1: art past the end of art.mul;
    // id 2: a texture with a negative offset, no art: quietly black; id 3: past the indexes.
    writeBytes(dir.file("texidx.mul"), index({{100, 8192}, {0, 0}, {-5, 8192}}));
    writeBytes(dir.file("artidx.mul"), index({{0, 2048}, {10, 2048}, {-1, 2048}}));
    const std::string folder = dir.path().string();
    auto message = [&](uint16_t id) {
        try {
            LoadTileImage(folder, id);
            return std::string("drawn");
        } catch (const Error& e) {
            return std::string(e.what());
        }
    };
    EXPECT_EQ(message(0), Short) << "texture past the end of texmaps.mul";
    EXPECT_EQ(message(1), Short) << "art past the end of art.mul";
    EXPECT_EQ(message(2), "drawn") << "a negative offset is no picture";
    EXPECT_EQ(LoadTileImage(folder, 2), TileImage(1, 1));
    EXPECT_EQ(message(3), Short) << "an id past the end of the index";
    EXPECT_EQ(message(4096), "drawn") << "ids from 4096 up are never looked up";
}

} // namespace
} // namespace tq
