// The files stay the user's: an operation through symbolic links changes the files the
// links lead to and keeps the links; a file rewritten whole keeps its mode, owner and group;
// a file the user may not write is refused before anything changes.
#include "diff/diff.h"
#include "fillclear/fill_clear.h"
#include "hardening_support.h"
#include "small_world_operations.h"
#include "support/run_cli.h"
#include "worldsave/freeze.h"
#include "worldsave/melt.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>

extern char** environ;

namespace tq {
namespace {

namespace fs = std::filesystem;
using test::makePackage;
using test::makeWorld;
using test::Operation;
using test::operations;
using test::WorldFiles;
using test::readBytes;
using test::staticRec;
using test::StaticsFiles;
using test::TempDir;
using test::writeBytes;

bool isLink(const std::string& path) { return fs::is_symlink(fs::symlink_status(path)); }

TEST(FilesStayTheUsers, OperationsThroughSymbolicLinksChangeTheTargetsAndKeepTheLinks) {
    for (const Operation& op : operations()) {
        SCOPED_TRACE(op.name);
        TempDir tmp;
        const std::string orig = tmp.file("orig"), direct = tmp.file("direct"), real = tmp.file("real"),
                          link = tmp.file("link");
        makeWorld(orig);
        const std::string package = makePackage(tmp, orig);
        fs::copy(orig, direct);
        fs::copy(orig, real);
        fs::create_directories(link);
        for (const auto& f : WorldFiles) fs::create_symlink("../real/" + f, link + "/" + f);

        op.run(direct, orig, package);
        op.run(link, orig, package);

        for (const auto& f : WorldFiles) {
            EXPECT_TRUE(isLink(link + "/" + f)) << f << " is no longer a link";
            EXPECT_EQ(fs::read_symlink(link + "/" + f), "../real/" + f);
            EXPECT_TRUE(test::sameFileBytes(real + "/" + f, direct + "/" + f)) << f << " differs from a direct run";
        }
        for (const auto& f : op.changes)
            EXPECT_FALSE(test::sameFileBytes(real + "/" + f, orig + "/" + f)) << f << " did not change";
        std::vector<std::string> expected = WorldFiles;
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(test::filesIn(real), expected) << "a temporary or lock file was left beside the targets";
        EXPECT_EQ(test::filesIn(link), expected) << "something was written beside the links";
    }
}

TEST(FilesStayTheUsers, ALinkChainAndARelativeLinkInTheSameFolderAreFollowed) {
    TempDir tmp;
    makeWorld(tmp.file("w"));
    const std::string w = tmp.file("w");
    fs::rename(w + "/items.wsc", w + "/real.wsc");
    fs::create_symlink("real.wsc", w + "/middle.wsc");
    fs::create_symlink(w + "/middle.wsc", w + "/items.wsc");  // absolute, then relative
    const std::string before = readBytes(w + "/real.wsc");
    operations()[0].run(w, "", "");
    EXPECT_TRUE(isLink(w + "/items.wsc"));
    EXPECT_TRUE(isLink(w + "/middle.wsc"));
    EXPECT_NE(readBytes(w + "/real.wsc"), before);
    EXPECT_EQ(readBytes(w + "/real.wsc").find("SERIAL 7001"), std::string::npos) << "the item was not frozen";
}

// ---- permissions, owner and group --------------------------------------------------

struct Ownership {
    mode_t mode;
    uid_t uid;
    gid_t gid;
};
Ownership ownershipOf(const std::string& path) {
    struct stat st;
    EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
    return {st.st_mode & 07777, st.st_uid, st.st_gid};
}

// A group the files can be given that is not the process's own: as root any, else one of
// the user's other groups; none when the user has no other group.
std::optional<gid_t> otherGroup() {
    if (::geteuid() == 0) {
        if (const group* g = ::getgrnam("daemon")) return g->gr_gid;
        return gid_t(4242);
    }
    gid_t groups[64];
    const int n = ::getgroups(64, groups);
    for (int i = 0; i < n; ++i)
        if (groups[i] != ::getegid()) return groups[i];
    return std::nullopt;
}

TEST(FilesStayTheUsers, RewrittenFilesKeepModeOwnerAndGroup) {
    struct Row {
        const char* name;
        mode_t mode;
        bool otherGroup;  // give the files a group that is not the process's own
        bool otherOwner;  // give the files to nobody (root only)
    };
    const std::vector<Row> rows = {{"600", 0600, false, false},
                                   {"640 with another group", 0640, true, false},
                                   {"444", 0444, false, false},
                                   {"664 owned by nobody", 0664, false, true}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::optional<gid_t> group = row.otherGroup ? otherGroup() : std::nullopt;
        if (row.otherGroup && !group) {
            std::printf("skipped row %s: the user belongs to no other group\n", row.name);
            continue;
        }
        const passwd* nobody = ::getpwnam("nobody");
        if (row.otherOwner && (::geteuid() != 0 || !nobody)) {
            std::printf("skipped row %s: only root can give files away\n", row.name);
            continue;
        }
        if (row.mode == 0444 && ::geteuid() != 0) continue;  // refused instead: see the next test
        for (const Operation& op : operations()) {
            SCOPED_TRACE(op.name);
            TempDir tmp;
            const std::string orig = tmp.file("orig"), w = tmp.file("w");
            makeWorld(orig);
            const std::string package = makePackage(tmp, orig);
            fs::copy(orig, w);
            for (const auto& f : WorldFiles) {
                const std::string p = w + "/" + f;
                if (group) {
                    ASSERT_EQ(::chown(p.c_str(), uid_t(-1), *group), 0);
                }
                if (row.otherOwner) {
                    ASSERT_EQ(::chown(p.c_str(), nobody->pw_uid, uid_t(-1)), 0);
                }
                ASSERT_EQ(::chmod(p.c_str(), row.mode), 0);
            }
            const Ownership before = ownershipOf(w + "/staidx0.mul");
            op.run(w, orig, package);
            for (const auto& f : op.changes) {
                const Ownership after = ownershipOf(w + "/" + f);
                EXPECT_EQ(after.mode, row.mode) << f;
                EXPECT_EQ(after.gid, before.gid) << f;
                EXPECT_EQ(after.uid, before.uid) << f;
                EXPECT_FALSE(test::sameFileBytes(w + "/" + f, orig + "/" + f)) << f << " did not change";
            }
        }
    }
}

// ---- refusal for a user who may not write ------------------------------------------

// Runs the command line as the user nobody (setpriv), as a script of another account would.
test::CliResult runCliAsNobody(const std::vector<std::string>& args, const TempDir& tmp) {
    std::vector<std::string> all{"/usr/bin/setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups", TQ_CLI_PATH};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    const std::string out = tmp.file("stdout"), err = tmp.file("stderr");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    test::CliResult result;
    pid_t pid;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
        int status = 0;
        waitpid(pid, &status, 0);
        result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    posix_spawn_file_actions_destroy(&actions);
    result.out = readBytes(out);
    result.err = readBytes(err);
    return result;
}

// Whether the CLI can run as nobody here: root to switch, setpriv, and a program nobody may run.
bool canRunAsNobody(const TempDir& tmp) {
    if (::geteuid() != 0 || !fs::exists("/usr/bin/setpriv") || !::getpwnam("nobody") || !::getgrnam("nogroup"))
        return false;
    return runCliAsNobody({"--help"}, tmp).status == 0;
}

TEST(FilesStayTheUsers, AFileTheUserMayNotWriteIsRefusedBeforeAnyChange) {
    struct Row {
        const char* command;
        const char* readOnly;  // the one file without write permission
    };
    const std::vector<Row> rows = {{"freeze", "staidx0.mul"},
                                   {"freeze", "items.wsc"},
                                   {"melt", "staidx0.mul"},
                                   {"melt", "items.wsc"},
                                   {"apply", "staidx0.mul"},
                                   {"apply", "statics0.mul"},
                                   {"fill", "map0.mul"}};
    TempDir probe;
    ASSERT_EQ(::chmod(probe.path().c_str(), 0755), 0);
    if (!canRunAsNobody(probe)) GTEST_SKIP() << "cannot run the command line as the user nobody here";
    const passwd* nobody = ::getpwnam("nobody");
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.command) + " with " + row.readOnly + " read-only");
        TempDir tmp;
        ASSERT_EQ(::chmod(tmp.path().c_str(), 0777), 0);
        const std::string orig = tmp.file("orig"), w = tmp.file("w");
        makeWorld(orig);
        const std::string package = makePackage(tmp, orig);
        fs::copy(orig, w);
        // Nobody owns the folder and the files, so a rename could replace any of them: only the
        // permission bits of the one file say no.
        for (const auto& f : WorldFiles) {
            const std::string p = w + "/" + f;
            ASSERT_EQ(::chown(p.c_str(), nobody->pw_uid, uid_t(-1)), 0);
            ASSERT_EQ(::chmod(p.c_str(), f == row.readOnly ? 0444 : 0644), 0);
        }
        ASSERT_EQ(::chown(w.c_str(), nobody->pw_uid, uid_t(-1)), 0);
        for (const auto& p : {orig, tmp.path().string()}) ASSERT_EQ(::chmod(p.c_str(), 0755), 0);
        for (const auto& f : fs::directory_iterator(orig)) ::chmod(f.path().c_str(), 0644);
        ::chmod(package.c_str(), 0644);

        const std::string cmd = row.command;
        std::vector<std::string> args;
        if (cmd == "freeze" || cmd == "melt")
            args = {cmd, "--staidx", w + "/staidx0.mul", "--statics", w + "/statics0.mul", "--wsc", w + "/items.wsc"};
        if (cmd == "melt") args.insert(args.end(), {"1", "1"});
        if (cmd == "apply")
            args = {"diff", "apply", "--orig-staidx", orig + "/staidx0.mul", "--orig-statics", orig + "/statics0.mul",
                    "--orig-map", orig + "/map0.mul", "--mod-staidx", w + "/staidx0.mul", "--mod-statics",
                    w + "/statics0.mul", "--mod-map", w + "/map0.mul", package};
        if (cmd == "fill")
            args = {"fill", "--staidx", w + "/staidx0.mul", "--statics", w + "/statics0.mul", "--map", w + "/map0.mul",
                    "--left", "0", "--top", "0", "--right", "20", "--bottom", "20", "--tile", "00 03"};
        const test::CliResult r = runCliAsNobody(args, tmp);
        EXPECT_EQ(r.status, 1) << r.err;
        EXPECT_EQ(r.err, "error: " + w + "/" + row.readOnly + ": File access denied\n");
        for (const auto& f : WorldFiles)
            EXPECT_TRUE(test::sameFileBytes(w + "/" + f, orig + "/" + f)) << f << " changed";
        std::vector<std::string> expected = WorldFiles;
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(test::filesIn(w), expected) << "something was left in the folder";
    }
}

} // namespace
} // namespace tq
