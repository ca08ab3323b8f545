#include "core/world_info.h"

#include "core/ascii_case.h"
#include "core/error.h"
#include "core/facets.h"
#include "core/file_system.h"
#include "core/static_index.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace tq {

namespace {

WorldFileType typeFromName(const std::string& path) {
    if (!facetFromFileName(path)) return WorldFileType::Unknown;
    const std::string name = asciiLower(std::filesystem::path(path).filename().string());
    if (name.rfind("staidx", 0) == 0) return WorldFileType::StaticIndex;
    if (name.rfind("statics", 0) == 0) return WorldFileType::Statics;
    return WorldFileType::Map;
}

// The file called `name` (any letter case) in the folder of `path`, if there is one.
std::optional<std::string> sibling(const std::string& path, const std::string& name) {
    namespace fs = std::filesystem;
    const fs::path folder = fs::path(path).parent_path();
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder.empty() ? fs::path(".") : folder, ec))
        if (asciiLower(entry.path().filename().string()) == name) return (folder / entry.path().filename()).string();
    return std::nullopt;
}

} // namespace

StaticIndexFigures StaticIndexFiguresOf(const StaticIndexBuffer& index, const std::optional<std::string>& staticsPath) {
    StaticIndexFigures f;
    const WorldGeometry& world = index.world();
    // The runs the entries point at, to find the bytes of the statics file nobody uses.
    std::vector<std::pair<uint64_t, uint64_t>> runs;
    for (int x = 0; x < world.blocksWide; ++x)
        for (int y = 0; y < world.blocksHigh; ++y) {
            const TStaticIndexRec& e = index.at(x, y);
            if (e.Start == -1 || e.Start < 0 || e.Length <= 0) continue;
            const int64_t records = e.Length / StaticRecSize;
            runs.emplace_back(uint64_t(e.Start), uint64_t(e.Start) + uint64_t(e.Length));
            if (records == 0) continue;
            ++f.blocksWithStatics;
            f.statics += records;
            if (records > f.largestBlock) {
                f.largestBlock = records;
                f.largestX = x;
                f.largestY = y;
            }
            if (records > ClientStaticsPerBlock) ++f.blocksOverClientLimit;
        }
    if (!staticsPath) return f;
    f.staticsPath = staticsPath;
    f.staticsBytes = fileSystem().fileSize(*staticsPath);
    std::sort(runs.begin(), runs.end());
    uint64_t covered = 0, reach = 0;
    for (auto [start, end] : runs) {
        start = std::min(std::max(start, reach), f.staticsBytes);
        end = std::min(end, f.staticsBytes);
        if (end > start) covered += end - start;
        reach = std::max(reach, end);
    }
    f.unreferencedBytes = f.staticsBytes - covered;
    return f;
}

WorldFileInfo DescribeWorldFile(const std::string& path, std::optional<int> facet) {
    WorldFileInfo info;
    info.path = path;
    const WorldFileType type = typeFromName(path);
    try {
        if (!fileExists(path)) throw Error(msg::FileNotFound);
        if (type == WorldFileType::Unknown) {
            info.problem = "not a world file: its name is not map{N}.mul, map{N}LegacyMUL.uop, staidx{N}.mul or statics{N}.mul";
            return info;
        }
        info.facet = facetFromFileName(path);
        if (facet && *info.facet != *facet)
            throw Error("it is a facet " + std::to_string(*info.facet) + " file, not facet " + std::to_string(*facet));
        if (type == WorldFileType::Statics) {
            info.type = type;
            return info;
        }
        const WorldFileKind kind = type == WorldFileType::Map ? WorldFileKind::Map : WorldFileKind::StaticIndex;
        info.world = resolveWorld({{kind, path}}, info.facet);
        info.type = type;
        if (type == WorldFileType::StaticIndex) {
            auto index = newStaticIndex(*info.world);
            LoadStaticIndex(path, *index, {}, info.facet);
            info.index = StaticIndexFiguresOf(*index, sibling(path, "statics" + std::to_string(*info.facet) + ".mul"));
        }
    } catch (const Error& e) {
        info.type = WorldFileType::Unknown;
        info.world.reset();
        info.index.reset();
        info.problem = e.what();
    }
    return info;
}

std::vector<std::string> WorldFilesInFolder(const std::string& folder) {
    namespace fs = std::filesystem;
    std::vector<std::string> files;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec))
        if (entry.is_regular_file(ec) && typeFromName(entry.path().string()) != WorldFileType::Unknown)
            files.push_back(entry.path().string());
    std::sort(files.begin(), files.end());
    if (ec) throw Error(folder + ": " + ec.message());
    return files;
}

} // namespace tq
