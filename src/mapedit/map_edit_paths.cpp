#include "mapedit/map_edit_paths.h"

#include "core/file_system.h"
#include "mapedit/client_files.h"

namespace tq {

namespace {
std::string lowerAscii(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return s;
}

std::string baseName(const std::string& path) {
    const auto sep = path.find_last_of("/\\");
    return sep == std::string::npos ? path : path.substr(sep + 1);
}
} // namespace

bool isValidMapPath(const std::string& path) {
    return lowerAscii(baseName(path)) == "map0.mul" && fileExists(path);
}

bool isValidClientFolder(const std::string& folder) { return clientFilesPresent(folder); }

} // namespace tq
