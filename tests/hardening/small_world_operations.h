#pragma once
// A small world on disk and the operations that write it, each as a function of the folder
// whose files it works on: the tests of links, permissions and locks run each of them.
#include "diff/diff.h"
#include "fillclear/fill_clear.h"
#include "hardening_support.h"
#include "mapedit/region_copy.h"
#include "worldsave/freeze.h"
#include "worldsave/melt.h"

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace tq::test {

namespace fs = std::filesystem;

inline const std::vector<std::string> WorldFiles = {"staidx0.mul", "statics0.mul", "items.wsc", "map0.mul"};

inline std::string item(int section, int x, int y) {
    return "SECTION WORLDITEM " + std::to_string(section) + "\r\n{\r\nSERIAL " + std::to_string(7000 + section) +
           "\r\nID 4242\r\nX " + std::to_string(x) + "\r\nY " + std::to_string(y) +
           "\r\nZ 0\r\nCONT -1\r\nTYPE 255\r\n}\r\n\r\n";
}

// A small world: statics in two blocks, two items to freeze, four block columns of map.
inline void makeWorld(const std::string& dir) {
    fs::create_directories(dir);
    StaticsFiles w;
    w.give(1, 1, {staticRec(900, 1, 1), staticRec(901, 2, 2)}, 5);
    w.give(2, 3, {staticRec(902, 3, 3)});
    w.write(dir + "/staidx0.mul", dir + "/statics0.mul");
    writeBytes(dir + "/items.wsc", "// save\r\n" + item(1, 9, 9) + item(2, 20, 30) + "EOF\r\n");
    writeBytes(dir + "/map0.mul", test::mapBytes(4));
}

// A package that turns the world of `dir` into one with block (0, 0) given statics.
inline std::string makePackage(const TempDir& tmp, const std::string& dir) {
    const std::string mod = tmp.file("pkg-mod");
    fs::create_directories(mod);
    for (const auto& f : WorldFiles) fs::copy_file(dir + "/" + f, mod + "/" + f, fs::copy_options::overwrite_existing);
    StaticsFiles w;
    w.give(0, 0, {staticRec(77, 4, 4)});
    w.give(1, 1, {staticRec(900, 1, 1), staticRec(901, 2, 2)}, 5);
    w.write(mod + "/staidx0.mul", mod + "/statics0.mul");
    const std::string package = tmp.file("change.tq2");
    GenerateDiff({dir + "/staidx0.mul", dir + "/statics0.mul", dir + "/map0.mul", mod + "/staidx0.mul",
                  mod + "/statics0.mul", mod + "/map0.mul"},
                 package, DiffParts{true, false});
    return package;
}

// One operation on the world of a folder (the files named there, links or not).
struct Operation {
    const char* name;
    std::vector<std::string> changes;  // the files it writes
    std::function<void(const std::string& dir, const std::string& originals, const std::string& package)> run;
};

inline std::vector<Operation> operations() {
    return {
        {"freeze", {"staidx0.mul", "statics0.mul", "items.wsc"},
         [](const std::string& d, const std::string&, const std::string&) {
             FreezeOptions o;
             o.staidxPath = d + "/staidx0.mul";
             o.staticsPath = d + "/statics0.mul";
             o.worldSavePath = d + "/items.wsc";
             auto index = newStaticIndex();
             LoadStaticIndex(o.staidxPath, *index);
             FreezeWorld(o, *index, {}, {});
         }},
        {"melt", {"staidx0.mul", "items.wsc"},
         [](const std::string& d, const std::string&, const std::string&) {
             MeltOptions o;
             o.staidxPath = d + "/staidx0.mul";
             o.staticsPath = d + "/statics0.mul";
             o.worldSavePath = d + "/items.wsc";
             auto index = newStaticIndex();
             LoadStaticIndex(o.staidxPath, *index);
             MeltBlock(o, 1, 1, *index, {}, {});
         }},
        {"apply", {"staidx0.mul", "statics0.mul"},
         [](const std::string& d, const std::string& orig, const std::string& package) {
             ApplyDiff({orig + "/staidx0.mul", orig + "/statics0.mul", orig + "/map0.mul", d + "/staidx0.mul",
                        d + "/statics0.mul", d + "/map0.mul"},
                       package);
         }},
        {"fill", {"staidx0.mul", "map0.mul"},
         [](const std::string& d, const std::string&, const std::string&) {
             FillClearInput in;
             in.Left = "0", in.Top = "0", in.Right = "20", in.Bottom = "20";
             in.StaIdxPath = d + "/staidx0.mul";
             in.StaticsPath = d + "/statics0.mul";
             in.MapPath = d + "/map0.mul";
             in.Tile = "00 03";
             in.Altitude = "4";
             FillClear(in);
         }},
        {"copy region", {"map0.mul"},
         [](const std::string& d, const std::string&, const std::string&) {
             CopyMapRegion(d + "/map0.mul", d + "/map0.mul", MapRegion{0, 0, 7, 7, 16, 16, 23, 23});
         }},
    };
}

} // namespace tq::test
