#include "core/game_folder.h"

#include "core/ascii_case.h"
#include "core/file_system.h"

#include <algorithm>

namespace tq {

namespace {

// The names a kind of file may have, in the order they are preferred.
std::vector<std::string> candidateNames(PathKind kind, int facet) {
    const std::string n = std::to_string(facet);
    switch (kind) {
    case PathKind::StaticIndex: return {"staidx" + n + ".mul"};
    case PathKind::Statics: return {"statics" + n + ".mul"};
    case PathKind::Map: return {"map" + n + ".mul", "map" + n + "LegacyMUL.uop"};
    case PathKind::AnyFile:
    case PathKind::FileOrFolder: break;
    }
    return {};
}

std::string joinedNames(const std::vector<std::string>& names) {
    std::string text;
    for (size_t i = 0; i < names.size(); ++i) text += (i ? " or " : "") + names[i];
    return text;
}

} // namespace

std::string pathInFolder(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
#ifdef _WIN32
    const char separator = '\\';
    const bool ends = folder.back() == '\\' || folder.back() == '/';
#else
    const char separator = '/';
    const bool ends = folder.back() == '/';
#endif
    return ends ? folder + name : folder + separator + name;
}

std::vector<GameFolderFile> findWorldFiles(const std::string& folder, int facet, const std::vector<PathKind>& kinds) {
    std::vector<std::string> entries = folder.empty() ? std::vector<std::string>{} : fileSystem().listFolder(folder);
    std::sort(entries.begin(), entries.end());
    std::vector<GameFolderFile> found;
    for (PathKind kind : kinds) {
        const std::vector<std::string> names = candidateNames(kind, facet);
        GameFolderFile file{kind, joinedNames(names), {}};
        for (const std::string& name : names) {
            const std::string wanted = asciiLower(name);
            for (const std::string& entry : entries) {
                // A folder named like the file is no file of the world.
                if (asciiLower(entry) == wanted && fileExists(pathInFolder(folder, entry))) {
                    file.path = pathInFolder(folder, entry);
                    break;
                }
            }
            if (file.found()) break;
        }
        found.push_back(std::move(file));
    }
    return found;
}

std::vector<std::string> gameFolderReport(const std::string& folder, const std::vector<GameFolderFile>& files) {
    std::vector<std::string> lines;
    for (const GameFolderFile& file : files)
        lines.push_back(file.found() ? "Found: " + file.path : "Not found in " + folder + ": " + file.name);
    return lines;
}

} // namespace tq
