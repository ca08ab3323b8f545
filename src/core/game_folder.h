#pragma once
// "Choose game folder": the world files of one facet in a folder the user picked. Game
// folders copied from another system spell the names in any case (StaIdx0.MUL, MAP0.mul),
// so the folder is listed and the names compared lower-cased.
#include "core/path_field_rules.h"

#include <string>
#include <vector>

namespace tq {

struct GameFolderFile {
    PathKind kind = PathKind::StaticIndex;
    std::string name;  // what was looked for: "staidx0.mul"; a map also as "map0LegacyMUL.uop"
    std::string path;  // the file found, spelled as on disk; empty when there is none
    bool found() const { return !path.empty(); }
};

// Looks in `folder` for the files of `kinds` (StaticIndex, Statics, Map) of `facet`, one
// result per kind, in the order asked. A map is map{N}.mul, else map{N}LegacyMUL.uop.
// When several spellings of one name exist side by side, the first in byte order is
// taken, so the choice is the same every time. An unreadable or missing folder finds
// nothing. Only the folder itself is searched, not the folders in it.
std::vector<GameFolderFile> findWorldFiles(const std::string& folder, int facet, const std::vector<PathKind>& kinds);

// The log lines of a search: one per file, "Found: <path>" or
// "Not found in <folder>: map0.mul or map0LegacyMUL.uop".
std::vector<std::string> gameFolderReport(const std::string& folder, const std::vector<GameFolderFile>& files);

// The path of `name` inside `folder`, with one separator between them.
std::string pathInFolder(const std::string& folder, const std::string& name);

} // namespace tq
