#include "core/static_index.h"

#include "support/run_cli.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

namespace tq {
namespace {

// A world whose block (1, 1) holds two statics and whose block (2, 0) is empty.
class BlockCommand : public ::testing::Test {
protected:
    test::TempDir dir;
    std::string staidx = dir.file("staidx0.mul"), statics = dir.file("statics0.mul");

    void SetUp() override {
        auto index = newStaticIndex();
        index->fill(TStaticIndexRec{-1, -1, 0});
        test::writeBytes(statics, "");
        TStaticBlock block;
        block.Count = 2;
        block.Records[0] = {0x0EED, 5, 2, -5, 0};
        block.Records[1] = {0x0001, 0, 7, 127, 0x1234};
        WriteBlockStatics(statics, index->at(1, 1), block);
        SaveStaticIndex(staidx, *index);
    }
    test::CliResult block(const std::string& x, const std::string& y) {
        return test::runCli({"block", "--staidx", staidx, "--statics", statics, x, y});
    }
};

TEST_F(BlockCommand, ListsTheBlockAsTheMainWindowDoes) {
    const auto r = block("1", "1");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "Item #1: Item ID = ED 0E, X = 13, Y = 10, Z = -5, Color = 00 00\n"
              "Item #2: Item ID = 01 00, X = 8, Y = 15, Z = 127, Color = 34 12\n");
    EXPECT_EQ(r.err, "");

    const auto empty = block("2", "0");
    EXPECT_EQ(empty.status, 0);
    EXPECT_EQ(empty.out, "");
}

TEST_F(BlockCommand, FailuresAndUsage) {
    for (auto [x, y] : {std::pair{"768", "0"}, {"0", "512"}, {"-1", "3"}}) {
        const auto r = block(x, y);
        EXPECT_EQ(r.status, 1) << x << "," << y;
        EXPECT_EQ(r.err.rfind("error: Block (", 0), 0u) << r.err;
        EXPECT_NE(r.err.find("0..767"), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "");
    }
    const auto notNumber = block("1x", "0");
    EXPECT_EQ(notNumber.status, 1);
    EXPECT_EQ(notNumber.err, "error: '1x' is not a valid integer value\n");

    const auto missing = test::runCli({"block", "--staidx", dir.file("none.mul"), "--statics", statics, "0", "0"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err, "error: " + dir.file("none.mul") + ": File not found\n");

    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"block", "--staidx", staidx, "1", "1"},
          {"block", "--staidx", staidx, "--statics", statics, "1"},
          {"block", "--bogus", "--staidx", staidx, "--statics", statics, "1", "1"}}) {
        const auto r = test::runCli(args);
        EXPECT_EQ(r.status, 2);
        EXPECT_NE(r.err.find("usage: terraquill-cli block --staidx P --statics P X Y"), std::string::npos) << r.err;
    }
}

TEST(Cli, HelpListsTheCommands) {
    const auto r = test::runCli({"--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("block --staidx P --statics P X Y"), std::string::npos);
    EXPECT_NE(r.out.find("mkworld DIR [--items N] [--seed N]"), std::string::npos);
    EXPECT_EQ(test::runCli({}).status, 2);
    EXPECT_EQ(test::runCli({"no-such-command"}).status, 2);
}

} // namespace
} // namespace tq
