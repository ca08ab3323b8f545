// terraquill-cli settings: the desktop program's store, from a script.
#include "support/run_cli.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace tq::test {
namespace {

// Points the child processes' settings store at a fresh folder.
class SettingsCommand : public ::testing::Test {
protected:
    TempDir config;
    std::string previous;
    void SetUp() override {
        if (const char* p = std::getenv("XDG_CONFIG_HOME")) previous = p;
        setenv("XDG_CONFIG_HOME", config.path().c_str(), 1);
    }
    void TearDown() override { setenv("XDG_CONFIG_HOME", previous.c_str(), 1); }
};

TEST_F(SettingsCommand, SetsReadsAndListsTheWindowsValues) {
    EXPECT_EQ(runCli({"settings", "get", "StaIdx0.mul"}).out, "\n");  // missing reads as empty
    EXPECT_EQ(runCli({"settings", "list"}).out, "");

    const std::string awkward = "/home/a b, c;d/\"q\"/Staidx0.mul";
    EXPECT_EQ(runCli({"settings", "set", "StaIdx0.mul", awkward}).status, 0);
    EXPECT_EQ(runCli({"settings", "set", "Mode", "1"}).status, 0);
    EXPECT_EQ(runCli({"settings", "set", "UOPath", "/srv/uo"}).status, 0);
    EXPECT_EQ(runCli({"settings", "get", "StaIdx0.mul"}).out, awkward + "\n");
    EXPECT_EQ(runCli({"settings", "get", "Mode"}).out, "1\n");
    EXPECT_EQ(runCli({"settings"}).out, "StaIdx0.mul=" + awkward + "\nMode=1\nUOPath=/srv/uo\n");
    // Stored where the desktop program looks.
    EXPECT_TRUE(std::filesystem::exists(config.path() / "Brannock" / "Terraquill.conf"));
}

TEST_F(SettingsCommand, RefusesUnknownNamesAndNonNumericModes) {
    const CliResult unknown = runCli({"settings", "set", "staidx", "x"});
    EXPECT_EQ(unknown.status, 2);
    EXPECT_NE(unknown.err.find("unknown setting 'staidx'"), std::string::npos);
    const CliResult mode = runCli({"settings", "set", "Mode", "simple"});
    EXPECT_EQ(mode.status, 1);
    EXPECT_EQ(mode.err, "error: 'simple' is not a valid integer value\n");
    EXPECT_EQ(runCli({"settings", "list"}).out, "");
}

} // namespace
} // namespace tq::test
