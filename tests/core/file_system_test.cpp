#include "core/atomic_file.h"
#include "core/error.h"
#include "core/file_system.h"

#include "support/error_of.h"
#include "support/faulty_file_system.h"
#include "support/read_only_file.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <functional>

namespace tq {
namespace {

using test::errorOf;
using test::TempDir;

TEST(FileSystem, FailuresCarryTheMessagesUsersKnow) {
    TempDir dir;
    const std::string ten = dir.file("ten.bin");
    test::writeBytes(ten, "0123456789");
    const std::string missing = dir.file("missing.bin");
    const std::string inMissingFolder = dir.file("no-such-folder/file.bin");

    struct Case {
        const char* what;
        std::function<void()> run;
        const char* message;
    };
    const Case cases[] = {
        {"read a missing file", [&] { openFile(missing, OpenMode::Read); }, "File not found"},
        {"read-write a missing file", [&] { openFile(missing, OpenMode::ReadWrite); }, "File not found"},
        {"append to a missing file", [&] { openFile(missing, OpenMode::Append); }, "File not found"},
        {"read in a missing folder", [&] { openFile(inMissingFolder, OpenMode::Read); }, "Invalid filename"},
        {"create in a missing folder", [&] { openFile(inMissingFolder, OpenMode::Create); }, "Invalid filename"},
        {"empty name", [&] { openFile("", OpenMode::Read); }, "Invalid filename"},
        {"a folder as a file", [&] { openFile(dir.path().string(), OpenMode::ReadWrite); }, "File access denied"},
        {"size of a missing file", [&] { fileSystem().fileSize(missing); }, "File not found"},
        {"read past the end",
         [&] {
             char buf[11];
             openFile(ten, OpenMode::Read)->read(buf, sizeof buf);
         },
         "Read beyond end of file"},
        {"read past the end after a seek",
         [&] {
             char buf[4];
             auto f = openFile(ten, OpenMode::Read);
             f->seek(8);
             f->read(buf, sizeof buf);
         },
         "Read beyond end of file"},
    };
    for (const Case& c : cases) EXPECT_EQ(errorOf(c.run), c.message) << c.what;
    EXPECT_EQ(test::readBytes(ten), "0123456789") << "no case may change the file";
}

TEST(FileSystem, ShortReadKeepsWhatWasThere) {
    TempDir dir;
    const std::string path = dir.file("f");
    test::writeBytes(path, "abc");
    auto f = openFile(path, OpenMode::Read);
    char buf[8] = {};
    EXPECT_EQ(f->readSome(buf, sizeof buf), 3u);
    EXPECT_EQ(std::string(buf, 3), "abc");
    EXPECT_EQ(f->readSome(buf, sizeof buf), 0u);
}

TEST(FileSystem, AFullDiskSaysSo) {
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full here";
    auto f = openFile("/dev/full", OpenMode::ReadWrite);
    const std::string bytes(4096, 'x');
    EXPECT_EQ(errorOf([&] { f->write(bytes.data(), bytes.size()); }), "Disk full");
}

#ifndef _WIN32  // Windows' error codes have their own table (file_system_windows_test.cpp).
TEST(FileSystem, SystemErrorsMapToMessages) {
    TempDir dir;
    const std::string inDir = dir.file("x.bin");
    struct Case {
        int code;
        std::string path;
        std::string message;
    };
    const Case cases[] = {
        {ENOENT, inDir, "File not found"},
        {ENOENT, dir.file("gone/x.bin"), "Invalid filename"},
        {ENOTDIR, inDir, "Invalid filename"},
        {EACCES, inDir, "File access denied"},
        {EPERM, inDir, "File access denied"},
        {EROFS, inDir, "File access denied"},
        {ENOSPC, inDir, "Disk full"},
        {EDQUOT, inDir, "Disk full"},
        {EIO, inDir, "I/O error " + std::to_string(EIO)},
        {EMFILE, inDir, "I/O error " + std::to_string(EMFILE)},
    };
    for (const Case& c : cases) EXPECT_EQ(systemErrorMessage(c.code, c.path), c.message) << c.code;
}
#endif

TEST(FileSystem, ReadOnlyFileIsReadButNotWritten) {
    TempDir dir;
    const std::string path = dir.file("original.mul");
    test::writeBytes(path, "original");
    test::ReadOnlyFile readOnly(path);
    if (!readOnly.effective()) GTEST_SKIP() << "cannot make a file read-only for this user here";

    EXPECT_EQ(readWholeFile(path), "original");
    EXPECT_EQ(errorOf([&] { openFile(path, OpenMode::ReadWrite); }), "File access denied");
    EXPECT_EQ(errorOf([&] { openFile(path, OpenMode::Append); }), "File access denied");
    EXPECT_EQ(errorOf([&] { writeFileAtomic(path, "replaced"); }), "File access denied");
    EXPECT_EQ(test::readBytes(path), "original");
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"original.mul"});
}

TEST(FileSystem, AppendWritesAtTheEnd) {
    TempDir dir;
    const std::string path = dir.file("f");
    test::writeBytes(path, "abc");
    auto f = openFile(path, OpenMode::Append);
    EXPECT_EQ(f->position(), 3u);
    f->write("de", 2);
    f->close();
    EXPECT_EQ(test::readBytes(path), "abcde");
}

// --- AtomicFile: the old file stays whole until the new one is complete -------------

// The operating system's lock under the world lock: a second holder, even in the same
// process through another handle, is refused and told who holds it; letting go removes the
// lock file, and the next writer locks a new one.
TEST(FileSystem, ALockIsRefusedToASecondHolderAndLeavesNoFileBehind) {
    TempDir dir;
    const std::string lockFile = dir.file("staidx0.mul.lock");
    std::string holder;
    auto first = realFileSystem().tryLock(lockFile, "4242 freeze\n", holder);
    ASSERT_TRUE(first);
    EXPECT_TRUE(std::filesystem::exists(lockFile));

    std::string refusedBy;
    EXPECT_FALSE(realFileSystem().tryLock(lockFile, "99 melt\n", refusedBy));
    EXPECT_EQ(refusedBy, "4242 freeze\n");

    first.reset();
    EXPECT_FALSE(std::filesystem::exists(lockFile)) << "the lock file outlived its holder";
    std::string none;
    auto next = realFileSystem().tryLock(lockFile, "99 melt\n", none);
    EXPECT_TRUE(next);
    EXPECT_EQ(none, "");
    next.reset();
    EXPECT_FALSE(std::filesystem::exists(lockFile));
}

TEST(AtomicFile, CommitReplacesTheFile) {
    TempDir dir;
    const std::string path = dir.file("index.mul");
    test::writeBytes(path, "old contents");
    writeFileAtomic(path, "new");
    EXPECT_EQ(test::readBytes(path), "new");
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"index.mul"});

    writeFileAtomic(dir.file("fresh.mul"), "made");  // a missing target is created
    EXPECT_EQ(test::readBytes(dir.file("fresh.mul")), "made");
}

TEST(AtomicFile, AFailureLeavesTheOldFileWholeAndNoTemporary) {
    struct Case {
        const char* what;
        std::function<void(test::FaultyFileSystem&)> arm;
        const char* message;
    };
    const Case cases[] = {
        {"disk full at the write", [](test::FaultyFileSystem& f) { f.failWriteAt = 1; }, "Disk full"},
        {"rename refused", [](test::FaultyFileSystem& f) { f.failRenameAt = 1; }, "File access denied"},
        {"temporary file cannot be made", [](test::FaultyFileSystem& f) { f.failOpenAt = 1; }, "File access denied"},
    };
    for (const Case& c : cases) {
        TempDir dir;
        const std::string path = dir.file("index.mul");
        test::writeBytes(path, "old contents");
        test::FaultyFileSystem faulty;
        c.arm(faulty);
        {
            ScopedFileSystem guard(faulty);
            EXPECT_EQ(errorOf([&] { writeFileAtomic(path, std::string(100000, 'n')); }), c.message) << c.what;
        }
        EXPECT_TRUE(faulty.faulted) << c.what;
        EXPECT_EQ(test::readBytes(path), "old contents") << c.what;
        EXPECT_EQ(dir.entries(), std::vector<std::string>{"index.mul"}) << c.what;
    }
}

TEST(AtomicFile, DroppedWithoutCommitChangesNothing) {
    TempDir dir;
    const std::string path = dir.file("index.mul");
    test::writeBytes(path, "old");
    {
        AtomicFile out(path);
        out.file().write("new", 3);
    }
    EXPECT_EQ(test::readBytes(path), "old");
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"index.mul"});
}

TEST(AtomicFile, PreparedFilesCommitInTheChosenOrder) {
    TempDir dir;
    const std::string a = dir.file("a"), b = dir.file("b");
    test::writeBytes(a, "old a");
    test::writeBytes(b, "old b");
    test::FaultyFileSystem faulty;
    faulty.failRenameAt = 2;  // the second commit fails
    ScopedFileSystem guard(faulty);
    AtomicFile first(a), second(b);
    first.file().write("new a", 5);
    second.file().write("new b", 5);
    first.prepare();
    second.prepare();
    first.commitPrepared();
    EXPECT_EQ(errorOf([&] { second.commitPrepared(); }), "File access denied");
    EXPECT_EQ(test::readBytes(a), "new a");
    EXPECT_EQ(test::readBytes(b), "old b");
}

} // namespace
} // namespace tq
