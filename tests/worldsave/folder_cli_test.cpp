// The command line on a synthetic folder save, as a script would drive it.
#include "core/static_index.h"
#include "support/run_cli.h"
#include "support/temp_dir.h"
#include "worldsave/folder_save_text.h"
#include "worldsave/world_save_format.h"

#include <gtest/gtest.h>

#include <regex>
#include <set>

namespace tq {
namespace {

using test::readBytes;
using test::runCli;

struct Census {
    int64_t records = 0, frozenKind = 0, inContainers = 0, otherFacet = 0;
    std::set<uint32_t> serials;
    bool serialsUnique = true;
};

// Type 255 [ITEM]s on the ground of facet 0 (what a freeze takes), and the rest.
Census census(const std::string& folder) {
    Census c;
    for (const std::string& path : DetectWorldSave(folder).files) {
        const std::string text = readBytes(path);
        for (const wsc::Record& r : wsc::parseText(text).records) {
            ++c.records;
            if (r.serial && !c.serials.insert(*wsc::parseNumber(r.serial->text)).second) c.serialsUnique = false;
            if (!r.isKind("ITEM") || !r.type || *wsc::parseNumber(r.type->text) != 255) continue;
            if (r.cont && *wsc::parseNumber(r.cont->text) != wsc::NotInContainer) ++c.inContainers;
            else if (wsc::requireLocation(*r.location, path).world != 0) ++c.otherFacet;
            else ++c.frozenKind;
        }
    }
    return c;
}

int64_t staticsCount(const std::string& staidx) {
    auto index = newStaticIndex();
    LoadStaticIndex(staidx, *index);
    int64_t n = 0;
    for (int x = 0; x < index->world().blocksWide; ++x)
        for (int y = 0; y < index->world().blocksHigh; ++y)
            if (index->at(x, y).Start != -1) n += index->at(x, y).Length / StaticRecSize;
    return n;
}

int64_t lineCount(const std::string& out, const std::string& start) {
    int64_t n = 0;
    for (size_t at = out.find(start); at != std::string::npos; at = out.find(start, at + 1))
        if (at == 0 || out[at - 1] == '\n') ++n;
    return n;
}

TEST(FolderSaveCli, MkworldFreezeAndMeltOnAFolderSave) {
    test::TempDir dir;
    const std::string root = dir.path().string();
    const auto made = runCli({"mkworld", root, "--items", "4000", "--wsc-format", "folder"});
    ASSERT_EQ(made.status, 0) << made.err;
    std::smatch m;
    ASSERT_TRUE(std::regex_search(made.out, m,
                                  std::regex("world items: (\\d+) in (\\d+) region files, Type 255: (\\d+) \\((\\d+) "
                                             "in containers, (\\d+) on another facet\\)")))
        << made.out;
    const int64_t type255 = std::stoll(m[3]), inBags = std::stoll(m[4]), other = std::stoll(m[5]);
    EXPECT_GE(std::stoi(m[2]), 30);
    const std::string shared = root + "/shared", staidx = root + "/staidx0.mul", statics = root + "/statics0.mul";
    const Census before = census(shared);
    ASSERT_GT(type255, 0);
    ASSERT_GT(inBags, 0);
    ASSERT_GT(other, 0);
    EXPECT_EQ(before.frozenKind, type255);
    EXPECT_EQ(before.inContainers, inBags);
    EXPECT_EQ(before.otherFacet, other);
    const int64_t staticsBefore = staticsCount(staidx);

    // Any .wsc of the folder names the whole save.
    const auto frozen = runCli({"freeze", "--staidx", staidx, "--statics", statics, "--wsc", shared + "/0.0.wsc"});
    ASSERT_EQ(frozen.status, 0) << frozen.err;
    EXPECT_EQ(frozen.out.rfind("World-save: a folder of ", 0), 0u) << frozen.out;
    EXPECT_EQ(lineCount(frozen.out, "Selecting item for export: 0x"), type255);
    EXPECT_GT(lineCount(frozen.out, "Rewrote " + shared + "/"), 10);
    const Census after = census(shared);
    EXPECT_EQ(after.frozenKind, 0);
    EXPECT_EQ(after.inContainers, inBags);
    EXPECT_EQ(after.otherFacet, other);
    EXPECT_EQ(after.records, before.records - type255);
    EXPECT_EQ(staticsCount(staidx), staticsBefore + type255);

    // Melting a block that took items gives them back as new records with unused serials.
    ASSERT_TRUE(std::regex_search(frozen.out, m, std::regex("Extracting from WSC\\.\\.\\. XBlock: (\\d+) YBlock: (\\d+)")));
    const auto melted = runCli({"melt", "--staidx", staidx, "--statics", statics, "--wsc", shared, m[1], m[2]});
    ASSERT_EQ(melted.status, 0) << melted.err;
    const Census back = census(shared);
    EXPECT_TRUE(back.serialsUnique);
    EXPECT_GT(back.frozenKind, 0);
    EXPECT_EQ(back.records - after.records, back.frozenKind);
    EXPECT_GT(*back.serials.rbegin(), *before.serials.rbegin());

    // An old single-file save put into the folder makes a mix: refused before anything changes.
    test::writeBytes(shared + "/items.wsc", "SECTION WORLDITEM 1\r\n{\r\nTYPE 255\r\n}\r\nEOF\r\n");
    const std::string idx = readBytes(staidx);
    const auto mixed = runCli({"freeze", "--staidx", staidx, "--statics", statics, "--wsc", shared});
    EXPECT_EQ(mixed.status, 1);
    EXPECT_NE(mixed.err.find("mixes both world-save formats"), std::string::npos) << mixed.err;
    EXPECT_EQ(readBytes(staidx), idx);
}

} // namespace
} // namespace tq
