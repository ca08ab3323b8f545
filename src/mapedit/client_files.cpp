#include "mapedit/client_files.h"

#include "core/ascii_case.h"
#include "core/file_system.h"
#include "core/utf8_path.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <vector>

namespace tq {

std::string clientFilePath(const std::string& folder, const std::string& name) {
#ifdef _WIN32
    return folder + "\\" + name;
#else
    return folder + "/" + name;
#endif
}

std::string findClientFile(const std::string& folder, const std::string& name) {
    if (folder.empty()) return {};
    const std::string exact = clientFilePath(folder, name);
#ifndef _WIN32
    if (fileExists(exact)) return exact;
#endif
    // Listing only; the file itself is still opened through the file layer.
    const std::string wanted = asciiLower(name);
    std::vector<std::string> matches;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(fsPath(folder), ec), end; !ec && it != end; it.increment(ec)) {
        const std::string entry = utf8Path(it->path().filename());
        if (asciiLower(entry) == wanted) matches.push_back(entry);
    }
    // Several spellings side by side: take the same one every time.
    std::sort(matches.begin(), matches.end());
    for (const std::string& entry : matches) {
        const std::string path = clientFilePath(folder, entry);
        if (fileExists(path)) return path;
    }
    // Windows matches any case, so the name as asked for is found too; the listing above
    // gave the spelling on disk where it could be read.
    if (fileExists(exact)) return exact;
    return {};
}

bool artFromContainer(const std::string& folder) {
    return (findClientFile(folder, ArtIdxName).empty() || findClientFile(folder, ArtName).empty()) &&
           !findClientFile(folder, ArtContainerName).empty();
}

std::string missingClientFile(const std::string& folder) {
    const bool container = artFromContainer(folder);
    for (const char* name : ClientImageFileNames) {
        if (container && (std::string(name) == ArtIdxName || std::string(name) == ArtName)) continue;
        if (findClientFile(folder, name).empty()) return name;
    }
    return {};
}

bool clientFilesPresent(const std::string& folder) { return missingClientFile(folder).empty(); }

std::string artEntryName(uint32_t id) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%08u", id);
    return std::string("build/artlegacymul/") + digits + ".tga";
}

} // namespace tq
