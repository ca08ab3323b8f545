#include "support/temp_dir.h"

#include "core/utf8_path.h"

#include <algorithm>
#include <atomic>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <unistd.h>

namespace tq::test {

TempDir::TempDir() {
    static std::atomic<unsigned> counter{0};
    std::random_device rd;
    const auto base = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        auto candidate = base / ("tq-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++) + "-" +
                                 std::to_string(rd() % 100000));
        if (std::filesystem::create_directory(candidate)) {
            path_ = candidate;
            return;
        }
    }
    throw std::runtime_error("cannot create a temporary folder");
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(path_, ec);
}

std::vector<std::string> TempDir::entries() const {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(path_)) names.push_back(utf8Path(e.path().filename()));
    std::sort(names.begin(), names.end());
    return names;
}

void writeBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(fsPath(path), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
    if (!out) throw std::runtime_error("cannot write fixture " + path);
}

std::string readBytes(const std::string& path) {
    std::ifstream in(fsPath(path), std::ios::binary | std::ios::ate);
    if (!in) throw std::runtime_error("cannot read " + path);
    std::string bytes(size_t(in.tellg()), '\0');
    in.seekg(0);
    in.read(bytes.data(), std::streamsize(bytes.size()));
    if (!in) throw std::runtime_error("cannot read " + path);
    return bytes;
}

} // namespace tq::test
