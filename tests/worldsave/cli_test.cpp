#include "support/run_cli.h"
#include "world_fixture.h"

#include <gtest/gtest.h>

namespace tq {
namespace {

using test::ClientFiles;
using test::runCli;
using test::worldItem;

TEST(FreezeMeltCli, FreezeThenMeltPrintTheLogLines) {
    ClientFiles f;
    f.giveStatics(1, 1, {{1, 1, 1, 1, 1}});
    // 0x0006 is listed in the AutoSelect.txt shipped beside the program.
    f.write(worldItem(3, 6, 8, 8, 0) + worldItem(4, 2, 9, 9, 0) + "EOF\r\n");
    const auto frozen = runCli({"freeze", "--staidx", f.staidx, "--statics", f.statics, "--wsc", f.wsc, "--rule",
                                "auto", "--pat", f.pat});
    EXPECT_EQ(frozen.status, 0) << frozen.err;
    EXPECT_EQ(frozen.err, "");
    EXPECT_EQ(frozen.out,
              "Selecting item for export: 3\n"
              "Extracting from WSC... XBlock: 1 YBlock: 1\n"
              "Appending to Statics... XBlock: 1 YBlock: 1\n"
              "Appending to PAT-File... XBlock: 1 YBlock: 1\n"
              "Writing staidx file...\ndone...\nFreezing completed!\n");
    EXPECT_EQ(f.blockOnDisk(1, 1), (std::vector<TStaticRec>{{1, 1, 1, 1, 1}, {6, 0, 0, 0, 0}}));
    EXPECT_NE(test::readBytes(f.pat).find("SECTION WORLDITEM 2\r\n"), std::string::npos);

    const auto melted = runCli({"melt", "--staidx", f.staidx, "--statics", f.statics, "--wsc", f.wsc, "1", "1"});
    EXPECT_EQ(melted.status, 0) << melted.err;
    EXPECT_EQ(melted.out, "Writing StaIdx file...\nDone!\nMelting completed!\n");
    EXPECT_TRUE(f.blockOnDisk(1, 1).empty());
    EXPECT_NE(test::readBytes(f.wsc).find("ID 6\r\nX 8\r\nY 8\r\n"), std::string::npos);
}

TEST(FreezeMeltCli, ErrorsAndUsage) {
    ClientFiles f;
    f.write(worldItem(3, 6, 8, 8, 255));
    const std::vector<std::string> paths = {"--staidx", f.staidx, "--statics", f.statics, "--wsc", f.wsc};
    auto with = [&](std::vector<std::string> head, const std::vector<std::string>& tail) {
        head.insert(head.end(), paths.begin(), paths.end());
        head.insert(head.end(), tail.begin(), tail.end());
        return head;
    };
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string err;
    };
    const Case cases[] = {
        {with({"freeze"}, {"--pat", f.dir.file("ITEMS.WSC")}), 1,
         "error: The WSC and the PAT file cannot be the same!\n"},
        {with({"freeze"}, {"--rule", "auto", "--autoselect", f.dir.file("none.txt")}), 1,
         "error: " + f.dir.file("none.txt") + ": File not found\n"},
        {with({"freeze"}, {"--rule", "all"}), 2, ""},
        {with({"melt"}, {"768", "0"}), 1, "error: Block (768, 0) is outside the world"},
        {with({"melt"}, {"1"}), 2, ""},
    };
    for (const Case& c : cases) {
        const auto r = runCli(c.args);
        EXPECT_EQ(r.status, c.status) << c.args[0] << " " << r.err;
        EXPECT_EQ(r.err.substr(0, c.err.size()), c.err);
        EXPECT_EQ(r.out, "");
    }
    EXPECT_EQ(test::readBytes(f.wsc), worldItem(3, 6, 8, 8, 255));
}

} // namespace
} // namespace tq
