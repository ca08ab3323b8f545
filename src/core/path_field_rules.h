#pragma once
// How every window judges its path fields, apart from the widgets: tested without a display.
#include "core/ascii_case.h"
#include "core/file_system.h"

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tq {

// A path field's colour is its state. Plain: no change handler has judged it yet,
// which counts as neither valid nor invalid.
enum class FieldColour { Plain, Green, Red };

// The file-name part of a path: after the last separator (and drive colon on Windows).
inline std::string_view pathFileName(std::string_view path) {
#ifdef _WIN32
    const size_t cut = path.find_last_of("\\/:");
#else
    const size_t cut = path.find_last_of('/');
#endif
    return cut == std::string_view::npos ? path : path.substr(cut + 1);
}

// What a path field takes: a world file of one facet, staidx{N}.mul, statics{N}.mul or
// map{N}.mul in any case, any existing file, or (the world-save field) any existing file or
// folder, since today's server saves its world as a folder of region files.
enum class PathKind { AnyFile, StaticIndex, Statics, Map, FileOrFolder };

// The N of a name of that kind ("Map3.MUL" as a Map gives 3); nullopt when the name is not
// one of that kind. N may name a facet that does not exist.
std::optional<int> pathKindFacet(std::string_view path, PathKind kind);

struct PathVerdict {
    FieldColour colour = FieldColour::Red;
    std::optional<int> facet;  // the facet the name tells, when it tells one
    std::string reason;        // why a field whose file exists is red, for its tooltip
    friend bool operator==(const PathVerdict&, const PathVerdict&) = default;
};

// One field alone: green when a file of that path exists under a name of its kind whose N
// is a facet.
PathVerdict judgePathField(const std::string& path, PathKind kind);

// All fields of one window: each alone, then the window's facet is the one most green
// fields name (the first of them on a tie); a green field naming another turns red and says
// why ("map2.mul is of facet 2, the other files of facet 0").
std::vector<PathVerdict> judgePathFields(const std::vector<std::pair<std::string, PathKind>>& fields);

} // namespace tq
