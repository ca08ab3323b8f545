// Every command-line error names its file or its option: each command is run with each of
// its paths missing and cut short, and the message must carry that path. --version and
// every command's --help answer and exit 0.
#include "hardening_support.h"
#include "small_world_operations.h"
#include "support/run_cli.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <regex>
#include <set>
#include <sstream>

namespace tq {
namespace {

namespace fs = std::filesystem;
using test::runCli;
using test::TempDir;

// A world with full-size (sparse) maps, its originals, and a package between them.
struct CliWorld {
    TempDir tmp;
    std::string w = tmp.file("w"), o = tmp.file("o"), package = tmp.file("change.tq2");
    CliWorld() {
        // Made rather than copied: the full-size maps stay sparse on disk.
        for (const std::string& d : {o, w}) {
            test::makeWorld(d);
            test::writeFullMap(d + "/map0.mul", {});
        }
        test::writeFullMap(w + "/map0.mul", {{{3, 4}, test::patternBlock(9)}});
        test::StaticsFiles changed;
        changed.give(0, 0, {test::staticRec(77, 4, 4)});
        changed.write(w + "/staidx0.mul", w + "/statics0.mul");
        const auto r = runCli({"diff", "generate", "--orig-staidx", o + "/staidx0.mul", "--orig-statics",
                               o + "/statics0.mul", "--orig-map", o + "/map0.mul", "--mod-staidx", w + "/staidx0.mul",
                               "--mod-statics", w + "/statics0.mul", "--mod-map", w + "/map0.mul", "--out", package});
        EXPECT_EQ(r.status, 0) << r.err;
        test::makeWorld(w);
        test::writeFullMap(w + "/map0.mul", {});
    }
};

struct Case {
    std::string name;
    std::vector<std::string> args;
    std::vector<std::string> paths;  // each one, missing and then short, must be named
    // Only missing: a short text is still a text, and some files are read only where
    // their blocks are needed (or only written) in these runs.
    std::vector<std::string> missingOnly = {};
};

std::vector<Case> cases(const CliWorld& c) {
    const std::string &w = c.w, &o = c.o;
    const std::string idx = w + "/staidx0.mul", sta = w + "/statics0.mul", wsc = w + "/items.wsc",
                      map = w + "/map0.mul";
    const std::vector<std::string> diffPaths = {"--orig-staidx", o + "/staidx0.mul", "--orig-statics",
                                                o + "/statics0.mul", "--orig-map", o + "/map0.mul",
                                                "--mod-staidx", idx, "--mod-statics", sta, "--mod-map", map};
    auto with = [](std::vector<std::string> a, const std::vector<std::string>& b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    };
    return {
        {"crc", {"crc", idx}, {idx}},
        {"mapsum", {"mapsum", map}, {map}},
        {"block", {"block", "--staidx", idx, "--statics", sta, "1", "1"}, {idx, sta}},
        {"freeze", {"freeze", "--staidx", idx, "--statics", sta, "--wsc", wsc}, {idx, sta}, {wsc}},
        {"melt", {"melt", "--staidx", idx, "--statics", sta, "--wsc", wsc, "1", "1"}, {idx, sta}},
        {"fill",
         {"fill", "--staidx", idx, "--statics", sta, "--map", map, "--left", "0", "--top", "0", "--right", "20",
          "--bottom", "20", "--tile", "00 03"},
         {idx, map}},
        {"copy-region",
         {"copy-region", "--src", o + "/map0.mul", "--dst", map, "0", "0", "7", "7", "4000", "3000", "4007", "3007"},
         {o + "/map0.mul", map}},
        {"diff generate", with(with({"diff", "generate"}, diffPaths), {"--out", w + "/out.tq2"}),
         {o + "/staidx0.mul", o + "/map0.mul", idx, map},
         {o + "/statics0.mul", sta}},
        // The modified index and statics are only written.
        {"diff apply", with(with({"diff", "apply"}, diffPaths), {c.package}),
         {o + "/staidx0.mul", o + "/map0.mul", map, c.package},
         {o + "/statics0.mul"}},
    };
}

TEST(CliErrors, EachPathMissingOrShortIsNamedInTheMessage) {
    CliWorld world;
    for (const Case& k : cases(world)) {
        std::vector<std::pair<std::string, bool>> trials;  // path, missing
        for (const std::string& path : k.paths) trials.insert(trials.end(), {{path, true}, {path, false}});
        for (const std::string& path : k.missingOnly) trials.push_back({path, true});
        for (const auto& [path, missing] : trials) {
            SCOPED_TRACE(k.name + " with " + path + (missing ? " missing" : " cut short"));
            // The file steps aside and comes back, so the large maps are never copied.
            const std::string aside = path + ".aside";
            fs::rename(path, aside);
            if (!missing) test::writeBytes(path, "short");
            const auto r = runCli(k.args);
            fs::remove(path);
            fs::rename(aside, path);
            EXPECT_EQ(r.status, 1) << r.err;
            // "error: <path>: <message>", or a message that itself starts with the path
            // ("error: <path> is 5 bytes; a facet 0 static index is ...").
            EXPECT_TRUE(r.err.rfind("error: " + path + ": ", 0) == 0 || r.err.rfind("error: " + path + " is ", 0) == 0)
                << r.err;
        }
    }
}

// What is wrong inside a file is said with that file's name too: a number a world-save or a
// patch file cannot give, an index entry no statics run can have.
TEST(CliErrors, FaultsInsideAFileNameThatFile) {
    TempDir tmp;
    const std::string o = tmp.file("o"), w = tmp.file("w");
    for (const std::string& d : {o, w}) test::makeWorld(d);
    const std::string idx = w + "/staidx0.mul", sta = w + "/statics0.mul", wsc = w + "/items.wsc",
                      pat = w + "/out.pat";
    const std::string wscBefore = test::readBytes(wsc);
    // Block (1, 1) of the modified world gets a run of 5 bytes: no whole number of statics.
    const auto badEntry = [&] {
        std::fstream f(idx, std::ios::in | std::ios::out | std::ios::binary);
        f.seekp((1 * 512 + 1) * 12);
        const char entry[12] = {0, 0, 0, 0, 5, 0, 0, 0, 0, 0, 0, 0};
        f.write(entry, sizeof entry);
    };
    struct Row {
        const char* what;
        std::function<void()> damage;
        std::vector<std::string> args;
        std::string named;
    };
    const std::vector<Row> rows = {
        {"a number the world-save cannot give", [&] { test::writeBytes(wsc, "SECTION WORLDITEM 1\r\n{\r\nSERIAL 1\r\nID 5\r\nX abc\r\nY 8\r\nZ 0\r\nTYPE 255\r\n}\r\nEOF\r\n"); },
         {"freeze", "--staidx", idx, "--statics", sta, "--wsc", wsc}, wsc},
        {"a number the patch file cannot give", [&] { test::writeBytes(pat, "SERIAL 1073741900x\r\n"); },
         {"freeze", "--staidx", idx, "--statics", sta, "--wsc", wsc, "--pat", pat}, pat},
        {"an index entry of 5 bytes, listed", badEntry, {"block", "--staidx", idx, "--statics", sta, "1", "1"}, idx},
        {"an index entry of 5 bytes, melted", badEntry, {"melt", "--staidx", idx, "--statics", sta, "--wsc", wsc, "1", "1"}, idx},
        {"an index entry of 5 bytes, compared", badEntry,
         {"diff", "generate", "--orig-staidx", o + "/staidx0.mul", "--orig-statics", o + "/statics0.mul", "--mod-staidx",
          idx, "--mod-statics", sta, "--orig-map", o + "/map0.mul", "--mod-map", w + "/map0.mul", "--no-map", "--out",
          tmp.file("out.tq2")},
         idx},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        test::makeWorld(w);
        test::writeBytes(wsc, wscBefore);
        row.damage();
        const auto r = runCli(row.args);
        EXPECT_EQ(r.status, 1) << r.out << r.err;
        EXPECT_EQ(r.err.rfind("error: " + row.named + ": ", 0), 0u) << r.err;
    }
}

TEST(CliErrors, UsageErrorsNameTheOption) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> rows = {
        {{"freeze", "--staidx", "a", "--statics", "b"}, "missing option --wsc"},
        {{"freeze", "--staidx"}, "option --staidx needs a value"},
        {{"melt", "--colour", "red"}, "unknown option --colour"},
        {{"freeze", "--staidx", "a", "--statics", "b", "--wsc", "c", "--rule", "all"}, "--rule must be type255 or auto"},
        {{"diff", "frobnicate"}, "unknown diff action 'frobnicate' (generate, apply or info)"},
    };
    for (const auto& [args, message] : rows) {
        const auto r = runCli(args);
        EXPECT_EQ(r.status, 2) << args[0];
        EXPECT_EQ(r.err.rfind("error: " + message + "\nusage: terraquill-cli ", 0), 0u) << r.err;
    }
}

TEST(CliErrors, VersionAndEveryCommandsHelpExitZero) {
    auto r = runCli({"--version"});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(std::regex_match(r.out, std::regex("terraquill-cli [0-9]+\\.[0-9]+(\\.[0-9]+)*\n"))) << r.out;

    // Every command the overview lists, and the actions of diff.
    r = runCli({"--help"});
    ASSERT_EQ(r.status, 0);
    std::set<std::string> names;
    std::smatch m;
    const std::regex commandLine("^  ([a-z][a-z-]*)");
    std::istringstream lines(r.out);
    for (std::string line; std::getline(lines, line);)
        if (std::regex_search(line, m, commandLine)) names.insert(m[1]);
    EXPECT_GE(names.size(), 10u);
    std::vector<std::vector<std::string>> asks;
    for (const std::string& n : names) asks.push_back({n, "--help"});
    asks.push_back({"diff", "generate", "--help"});
    asks.push_back({"diff", "apply", "--help"});
    asks.push_back({"freeze", "--staidx", "x", "-h"});
    for (const auto& ask : asks) {
        SCOPED_TRACE(ask[0] + " " + ask[1]);
        r = runCli(ask);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out.rfind("usage: terraquill-cli " + ask[0], 0), 0u) << r.out;
        EXPECT_EQ(r.err, "");
    }
    r = runCli({"diff", "generate", "--help"});
    EXPECT_EQ(r.out.find("diff apply"), std::string::npos) << "diff generate --help shows only generate";
    EXPECT_NE(r.out.find("--out PKG"), std::string::npos);
}

} // namespace
} // namespace tq
