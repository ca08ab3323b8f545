#pragma once
#include "core/utf8_path.h"

#include <filesystem>
#include <string>
#include <vector>

namespace tq::test {

// A fresh folder for one test, removed with everything in it afterwards.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::string file(const std::string& name) const { return utf8Path(path_ / fsPath(name)); }
    // Names of everything in the folder, sorted (to see that no temporary file is left).
    std::vector<std::string> entries() const;

private:
    std::filesystem::path path_;
};

// Small helpers for fixtures made in the test.
void writeBytes(const std::string& path, const std::string& bytes);
std::string readBytes(const std::string& path);

} // namespace tq::test
