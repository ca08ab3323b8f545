#include "core/path_field_rules.h"

#include "core/facets.h"
#include "core/utf8_path.h"

#include <filesystem>
#include <map>

namespace tq {

std::optional<int> pathKindFacet(std::string_view path, PathKind kind) {
    const char* prefix = kind == PathKind::StaticIndex ? "staidx"
                         : kind == PathKind::Statics   ? "statics"
                         : kind == PathKind::Map       ? "map"
                                                       : nullptr;
    if (!prefix) return std::nullopt;
    const std::string name = asciiLower(pathFileName(path));
    // A map may also be the container map{N}LegacyMUL.uop.
    const bool container = kind == PathKind::Map && name.size() > 13 && name.ends_with("legacymul.uop");
    const std::string_view start(prefix), end(container ? "legacymul.uop" : ".mul");
    if (name.size() <= start.size() + end.size() || name.compare(0, start.size(), start) != 0 ||
        name.compare(name.size() - end.size(), end.size(), end) != 0)
        return std::nullopt;
    const std::string digits = name.substr(start.size(), name.size() - start.size() - end.size());
    // One or two digits, no leading zero: "map0.mul", "map12.mul", never "map03.mul".
    if (digits.size() > 2 || (digits.size() == 2 && digits[0] == '0')) return std::nullopt;
    for (char c : digits)
        if (c < '0' || c > '9') return std::nullopt;
    return std::stoi(digits);
}

PathVerdict judgePathField(const std::string& path, PathKind kind) {
    PathVerdict v;
    std::error_code ec;
    if (kind == PathKind::FileOrFolder && !path.empty() && std::filesystem::is_directory(fsPath(path), ec)) {
        v.colour = FieldColour::Green;
        return v;
    }
    if (!fileExists(path)) return v;
    if (kind == PathKind::AnyFile || kind == PathKind::FileOrFolder) {
        v.colour = FieldColour::Green;
        return v;
    }
    v.facet = pathKindFacet(path, kind);
    if (!v.facet) return v;
    if (!isFacet(*v.facet)) {
        v.reason = std::string(pathFileName(path)) + ": " + noSuchFacetMessage(*v.facet);
        return v;
    }
    v.colour = FieldColour::Green;
    return v;
}

std::vector<PathVerdict> judgePathFields(const std::vector<std::pair<std::string, PathKind>>& fields) {
    std::vector<PathVerdict> verdicts;
    std::map<int, int> votes;
    std::optional<int> facet;
    for (const auto& [path, kind] : fields) {
        verdicts.push_back(judgePathField(path, kind));
        const PathVerdict& v = verdicts.back();
        if (v.colour != FieldColour::Green || !v.facet) continue;
        const int count = ++votes[*v.facet];
        // Strictly more votes to take over: the first facet named wins a tie.
        if (!facet || (*facet != *v.facet && count > votes[*facet])) facet = v.facet;
    }
    if (!facet) return verdicts;
    for (size_t i = 0; i < verdicts.size(); ++i) {
        PathVerdict& v = verdicts[i];
        if (v.colour != FieldColour::Green || !v.facet || *v.facet == *facet) continue;
        v.colour = FieldColour::Red;
        v.reason = std::string(pathFileName(fields[i].first)) + " is of facet " + std::to_string(*v.facet) +
                   ", the other files of facet " + std::to_string(*facet);
    }
    return verdicts;
}

} // namespace tq
