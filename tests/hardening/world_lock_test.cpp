// One writer per world: while another Terraquill changes a world, every operation that
// writes it is refused with the holder's process and command, and changes nothing; a
// holder killed with SIGKILL blocks no one.
#include "core/world_lock.h"
#include "hardening_support.h"
#include "mapedit/region_copy.h"
#include "other_terraquill.h"
#include "small_world_operations.h"
#include "support/error_of.h"
#include "support/run_cli.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace tq {
namespace {

namespace fs = std::filesystem;
using test::errorOf;
using test::lockedBy;
using test::OtherTerraquill;
using test::TempDir;

std::vector<std::string> sortedWorldFiles() {
    std::vector<std::string> v = test::WorldFiles;
    std::sort(v.begin(), v.end());
    return v;
}

bool sameWorld(const std::string& a, const std::string& b) {
    for (const auto& f : test::WorldFiles)
        if (!test::sameFileBytes(a + "/" + f, b + "/" + f)) return false;
    return true;
}

TEST(WorldLock, EveryWriterIsRefusedWhileAnotherHoldsTheWorld) {
    struct Row {
        const char* op;
        const char* held;     // the file whose lock the other Terraquill holds
        const char* command;  // what it is doing
    };
    const std::vector<Row> rows = {{"freeze", "staidx0.mul", "freeze"},  {"melt", "staidx0.mul", "fill"},
                                   {"apply", "staidx0.mul", "melt"},     {"apply", "map0.mul", "map painting"},
                                   {"fill", "staidx0.mul", "apply"},     {"fill", "map0.mul", "copy region"},
                                   {"copy region", "map0.mul", "fill"}};
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.op) + " while another Terraquill runs " + row.command + " on " + row.held);
        TempDir tmp;
        const std::string orig = tmp.file("orig"), w = tmp.file("w");
        test::makeWorld(orig);
        const std::string package = test::makePackage(tmp, orig);
        fs::copy(orig, w);
        const std::string held = w + "/" + row.held;
        OtherTerraquill other(held, row.command);
        ASSERT_TRUE(other.held());

        std::function<void()> run;
        for (const auto& op : test::operations())
            if (op.name == std::string(row.op)) run = [&, op] { op.run(w, orig, package); };
        ASSERT_TRUE(run);
        EXPECT_EQ(errorOf(run), lockedBy(held, other.pid(), row.command));
        EXPECT_TRUE(sameWorld(w, orig)) << "a refused writer changed the world";
        EXPECT_EQ(test::filesIn(w), [&] {
            auto v = sortedWorldFiles();
            v.push_back(std::string(row.held) + ".lock");
            std::sort(v.begin(), v.end());
            return v;
        }());

        other.kill();  // the lock file stays, its lock goes with the process
        EXPECT_EQ(errorOf(run), "<no error>");
        EXPECT_EQ(test::filesIn(w), sortedWorldFiles()) << "the lock file outlived its run";
    }
}

TEST(WorldLock, TheCommandLineIsRefusedAndThenRunsOnceTheHolderIsKilled) {
    TempDir tmp;
    const std::string orig = tmp.file("orig"), w = tmp.file("w");
    test::makeWorld(orig);
    fs::copy(orig, w);
    const std::string staidx = w + "/staidx0.mul";
    const std::vector<std::string> freeze = {"freeze", "--staidx", staidx, "--statics", w + "/statics0.mul",
                                             "--wsc", w + "/items.wsc"};
    OtherTerraquill other(staidx, "freeze");
    ASSERT_TRUE(other.held());
    auto r = test::runCli(freeze);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "error: " + lockedBy(staidx, other.pid(), "freeze") + "\n");
    EXPECT_EQ(r.out, "");
    EXPECT_TRUE(sameWorld(w, orig));

    other.kill();
    r = test::runCli(freeze);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Freezing completed!"), std::string::npos);
    EXPECT_EQ(test::filesIn(w), sortedWorldFiles());
}

TEST(WorldLock, OneProcessMayNestItsOwnLockButTwoLocksOfOneFileDoNotMeet) {
    TempDir tmp;
    test::makeWorld(tmp.file("w"));
    const std::string staidx = tmp.file("w") + "/staidx0.mul";
    {
        // The command line locks before it loads the index; the operation locks again inside.
        const WorldLock outer(staidx, "freeze");
        EXPECT_EQ(errorOf([&] { test::operations()[0].run(tmp.file("w"), "", ""); }), "<no error>");
        // Another process meanwhile is refused, naming this one.
        const auto r = test::runCli({"melt", "--staidx", staidx, "--statics", tmp.file("w") + "/statics0.mul", "--wsc",
                                     tmp.file("w") + "/items.wsc", "1", "1"});
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, "error: " + lockedBy(staidx, ::getpid(), "freeze") + "\n");
        EXPECT_TRUE(fs::exists(staidx + ".lock"));
    }
    EXPECT_FALSE(fs::exists(staidx + ".lock"));
}

TEST(WorldLock, ALinkAndItsTargetShareOneLock) {
    TempDir tmp;
    test::makeWorld(tmp.file("real"));
    fs::create_directories(tmp.file("link"));
    fs::create_symlink("../real/staidx0.mul", tmp.file("link") + "/staidx0.mul");
    OtherTerraquill other(tmp.file("real") + "/staidx0.mul", "freeze");
    ASSERT_TRUE(other.held());
    EXPECT_EQ(errorOf([&] { const WorldLock lock(tmp.file("link") + "/staidx0.mul", "melt"); }),
              lockedBy(tmp.file("link") + "/staidx0.mul", other.pid(), "freeze"));
}

} // namespace
} // namespace tq
