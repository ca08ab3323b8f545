#pragma once
#include <string>

namespace tq::test {

// Makes a file read-only for as long as this object lives, in a way that holds for
// root too: the mode bits, and on Linux the immutable attribute where the file system
// and our rights allow it. effective() tells whether a write would really be refused,
// so a test can skip where it cannot be.
class ReadOnlyFile {
public:
    explicit ReadOnlyFile(std::string path);
    ~ReadOnlyFile();
    ReadOnlyFile(const ReadOnlyFile&) = delete;
    ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;
    bool effective() const { return effective_; }

private:
    std::string path_;
    bool immutable_ = false;
    bool effective_ = false;
};

} // namespace tq::test
