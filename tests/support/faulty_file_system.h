#pragma once
#include "support/forwarding_file_system.h"

#include <string>

namespace tq::test {

// Wraps the real file system and fails on demand, so a test can prove that a failure
// at any step reaches the user and leaves no torn file. Steps are counted from 1 over
// all files since the last reset(); 0 means "never".
class FaultyFileSystem : public ForwardingFileSystem {
public:
    explicit FaultyFileSystem(FileSystem& base = realFileSystem()) : ForwardingFileSystem(base) {}

    // The Nth write reports a full disk (after writing nothing).
    int failWriteAt = 0;
    // The Nth rename fails with renameMessage.
    int failRenameAt = 0;
    std::string renameMessage = "File access denied";
    // The Nth read comes up short ("Read beyond end of file").
    int shortReadAt = 0;
    // The Nth open fails with openMessage.
    int failOpenAt = 0;
    std::string openMessage = "File access denied";

    // What happened so far; run an operation once to count its steps.
    int writes = 0, renames = 0, reads = 0, opens = 0;
    bool faulted = false;

    void reset() {
        failWriteAt = failRenameAt = shortReadAt = failOpenAt = 0;
        writes = renames = reads = opens = 0;
        faulted = false;
    }

    std::unique_ptr<File> open(const std::string& path, OpenMode mode) override;
    void rename(const std::string& from, const std::string& to) override;

    // Called by the files it hands out.
    void beforeWrite();
    bool shortRead();
};

} // namespace tq::test
