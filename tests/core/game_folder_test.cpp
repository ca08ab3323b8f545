#include "core/game_folder.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace tq {
namespace {

using test::TempDir;
using test::writeBytes;

struct Case {
    const char* what;
    std::vector<std::string> files;    // made in the folder (a trailing '/' makes a folder)
    int facet;
    std::vector<std::string> expected;  // per kind (staidx, statics, map): the name found, "" for none
};

TEST(GameFolder, FindsTheFacetsFilesInAnyCase) {
    const Case cases[] = {
        {"complete, lower case", {"staidx0.mul", "statics0.mul", "map0.mul"}, 0, {"staidx0.mul", "statics0.mul", "map0.mul"}},
        {"names from another system", {"StaIdx2.MUL", "STATICS2.mul", "Map2.Mul"}, 2, {"StaIdx2.MUL", "STATICS2.mul", "Map2.Mul"}},
        {"only the packed map", {"staidx1.mul", "statics1.mul", "map1LegacyMUL.uop"}, 1,
         {"staidx1.mul", "statics1.mul", "map1LegacyMUL.uop"}},
        {"the packed map in lower case", {"map4legacymul.uop"}, 4, {"", "", "map4legacymul.uop"}},
        {"the .mul map is preferred", {"map0LegacyMUL.uop", "map0.mul"}, 0, {"", "", "map0.mul"}},
        {"another facet's files are not taken", {"staidx1.mul", "statics1.mul", "map1.mul"}, 0, {"", "", ""}},
        {"partial", {"staidx0.mul", "readme.txt"}, 0, {"staidx0.mul", "", ""}},
        {"near names are not the file", {"staidx0.mul.bak", "old_statics0.mul", "map00.mul", "map0.uop"}, 0, {"", "", ""}},
        {"a folder under the file's name is no file", {"staidx0.mul/", "statics0.mul"}, 0, {"", "statics0.mul", ""}},
#ifndef _WIN32  // one file there
        {"two spellings: the first in byte order", {"map0.mul", "MAP0.MUL"}, 0, {"", "", "MAP0.MUL"}},
#endif
        {"facet 5", {"staidx5.mul", "statics5.mul", "map5.mul", "map0.mul"}, 5, {"staidx5.mul", "statics5.mul", "map5.mul"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        for (const std::string& name : c.files) {
            if (name.back() == '/') {
                std::filesystem::create_directory(dir.path() / name.substr(0, name.size() - 1));
            } else {
                writeBytes(dir.file(name), "x");
            }
        }
        const std::string folder = utf8Path(dir.path());
        const auto found = findWorldFiles(folder, c.facet, {PathKind::StaticIndex, PathKind::Statics, PathKind::Map});
        ASSERT_EQ(found.size(), 3u);
        const PathKind kinds[] = {PathKind::StaticIndex, PathKind::Statics, PathKind::Map};
        for (size_t i = 0; i < 3; ++i) {
            EXPECT_EQ(found[i].kind, kinds[i]);
            EXPECT_EQ(found[i].path, c.expected[i].empty() ? "" : pathInFolder(folder, c.expected[i])) << i;
        }
    }
}

TEST(GameFolder, AsksOnlyForTheKindsGivenAndReportsEach) {
    TempDir dir;
    writeBytes(dir.file("Statics3.mul"), "x");
    const std::string folder = utf8Path(dir.path());
    const auto found = findWorldFiles(folder, 3, {PathKind::Map, PathKind::Statics});
    ASSERT_EQ(found.size(), 2u);
    EXPECT_FALSE(found[0].found());
    EXPECT_EQ(found[1].path, pathInFolder(folder, "Statics3.mul"));
    EXPECT_EQ(gameFolderReport(folder, found),
              (std::vector<std::string>{"Not found in " + folder + ": map3.mul or map3LegacyMUL.uop",
                                        "Found: " + pathInFolder(folder, "Statics3.mul")}));
}

TEST(GameFolder, AMissingFolderFindsNothing) {
    TempDir dir;
    const std::string missing = utf8Path(dir.path() / "gone");
    for (const std::string& folder : {missing, std::string()}) {
        const auto found = findWorldFiles(folder, 0, {PathKind::StaticIndex});
        ASSERT_EQ(found.size(), 1u);
        EXPECT_FALSE(found[0].found());
        EXPECT_EQ(found[0].name, "staidx0.mul");
    }
}

#ifndef _WIN32
TEST(GameFolder, PathInFolderPutsOneSeparator) {
    EXPECT_EQ(pathInFolder("/games/uo", "map0.mul"), "/games/uo/map0.mul");
    EXPECT_EQ(pathInFolder("/games/uo/", "map0.mul"), "/games/uo/map0.mul");
    EXPECT_EQ(pathInFolder("/", "map0.mul"), "/map0.mul");
    EXPECT_EQ(pathInFolder("", "map0.mul"), "map0.mul");
}
#endif

} // namespace
} // namespace tq
