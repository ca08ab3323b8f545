#include "core/world.h"

#include "support/run_cli.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace tq {
namespace {

TEST(MkworldCommand, WritesTheWorldIntoANewFolder) {
    test::TempDir dir;
    const std::string target = dir.file("worlds/small");
    const auto r = test::runCli({"mkworld", target, "--items", "25", "--seed", "3"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("map0.mul: 77070336 bytes\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("staidx0.mul: 4718592 bytes\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("world items: 25,"), std::string::npos) << r.out;
    for (const char* name : {"map0.mul", "staidx0.mul", "statics0.mul", "items.wsc", "AutoSelect.txt", "texidx.mul",
                             "texmaps.mul", "artidx.mul", "art.mul"})
        EXPECT_TRUE(std::filesystem::exists(std::filesystem::path(target) / name)) << name;

    // The block listing reads what mkworld wrote.
    const auto listing = test::runCli({"block", "--staidx", target + "/staidx0.mul", "--statics",
                                       target + "/statics0.mul", "100", "100"});
    EXPECT_EQ(listing.status, 0) << listing.err;
}

TEST(MkworldCommand, RefusesBadArguments) {
    test::TempDir dir;
    EXPECT_EQ(test::runCli({"mkworld"}).status, 2);
    EXPECT_EQ(test::runCli({"mkworld", dir.file("a"), "--items"}).status, 2);
    EXPECT_EQ(test::runCli({"mkworld", dir.file("a"), "--items", "-4"}).status, 2);
    const auto notNumber = test::runCli({"mkworld", dir.file("a"), "--seed", "x1"});
    EXPECT_EQ(notNumber.status, 1);
    EXPECT_EQ(notNumber.err, "error: 'x1' is not a valid integer value\n");
}

} // namespace
} // namespace tq
