#include "check/world_check.h"

#include "check/check_map.h"
#include "check/check_package.h"
#include "check/check_statics.h"
#include "check/check_world_save.h"
#include "core/ascii_case.h"
#include "core/error.h"
#include "core/facets.h"
#include "core/file_system.h"
#include "core/static_index.h"
#include "core/utf8_path.h"
#include "core/world_info.h"
#include "diff/diff.h"
#include "diff/diff_package.h"
#include "mapedit/client_files.h"
#include "worldsave/folder_save_text.h"
#include "worldsave/world_save_format.h"

#include <algorithm>
#include <filesystem>
#include <map>

namespace tq {

namespace {

struct Plan {
    std::vector<std::string> indexes, statics, maps, saves, packages;
};

void addOnce(std::vector<std::string>& list, const std::string& path) {
    if (std::find(list.begin(), list.end(), path) == list.end()) list.push_back(path);
}

bool holdsWscFiles(const std::filesystem::path& folder) {
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec))
        if (entry.is_regular_file(ec) && wsc::isWscFileName(utf8Path(entry.path().filename()))) return true;
    return false;
}

void addFile(const std::string& path, Plan& plan) {
    if (facetFromFileName(path)) {
        const std::string name = asciiLower(nameOf(path));
        if (name.rfind("staidx", 0) == 0) addOnce(plan.indexes, path);
        else if (name.rfind("statics", 0) == 0) addOnce(plan.statics, path);
        else addOnce(plan.maps, path);
    } else if (IsDiffPackageName(path)) {
        addOnce(plan.packages, path);
    } else {
        addOnce(plan.saves, path);
    }
}

void addFolder(const std::string& folder, Plan& plan) {
    namespace fs = std::filesystem;
    const size_t before = plan.indexes.size() + plan.statics.size() + plan.maps.size() + plan.saves.size() +
                          plan.packages.size();
    for (const std::string& file : WorldFilesInFolder(folder)) addFile(file, plan);
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(fsPath(folder), ec)) names.push_back(utf8Path(entry.path().filename()));
    std::sort(names.begin(), names.end());
    bool folderSave = false;
    for (const std::string& name : names) {
        const std::string path = utf8Path(fsPath(folder) / fsPath(name));
        std::error_code e;
        if (fs::is_directory(fsPath(path), e)) {
            if (holdsWscFiles(fsPath(path))) addOnce(plan.saves, path);
        } else if (IsDiffPackageName(name)) {
            addOnce(plan.packages, path);
        } else if (wsc::isWscFileName(name)) {
            // A region file makes the folder itself the save; any other .wsc is a save of its own.
            const WorldSave save = DetectWorldSave(path);
            if (save.format == WorldSaveFormat::Folder) folderSave = true;
            else addOnce(plan.saves, path);
        }
    }
    if (folderSave) addOnce(plan.saves, folder);
    if (plan.indexes.size() + plan.statics.size() + plan.maps.size() + plan.saves.size() + plan.packages.size() == before)
        throw Error("holds no world files, world-save or diff package", folder);
}

int facetOf(const std::string& path, std::optional<int> facet) {
    return facetFromFileName(path).value_or(facet.value_or(0));
}

} // namespace

CheckReport CheckWorld(const std::vector<std::string>& paths, std::optional<int> facet, const Progress& progress) {
    if (facet && !isFacet(*facet)) throw Error(noSuchFacetMessage(*facet));
    Plan plan;
    for (const std::string& path : paths) {
        std::error_code ec;
        if (std::filesystem::is_directory(fsPath(path), ec)) {
            // A folder of region files is a world-save; any other folder is a world.
            bool regionFiles = false;
            if (WorldFilesInFolder(path).empty() && holdsWscFiles(fsPath(path))) {
                try {
                    regionFiles = DetectWorldSave(path).format == WorldSaveFormat::Folder;
                } catch (const Error&) {
                    // .wsc files of the single-file format: a world folder with its save.
                }
            }
            if (regionFiles) addOnce(plan.saves, path);
            else addFolder(path, plan);
        } else {
            if (!fileExists(path)) throw Error(msg::FileNotFound, path);
            addFile(path, plan);
        }
    }

    CheckReport report;
    const size_t steps = plan.indexes.size() + plan.maps.size() + plan.saves.size() + plan.packages.size();
    size_t step = 0;
    auto stepProgress = [&](const std::string& file) {
        progress.setMessage("Checking " + file);
        Progress p = progress;
        const size_t at = step++;
        p.position = [&progress, at, steps](int percent) {
            progress.report(int((at * 100 + size_t(percent)) / std::max<size_t>(steps, 1)));
        };
        return p;
    };

    std::map<int, WorldGeometry> worlds;  // of the indexes and maps checked, by facet
    std::vector<std::pair<std::string, uint32_t>> crcs;
    std::vector<std::string> pairedStatics;
    for (const std::string& path : plan.indexes) {
        const Progress p = stepProgress(path);
        const int n = facetOf(path, facet);
        // Its statics: one named with it in the same folder, else the one beside it.
        std::optional<std::string> statics;
        for (const std::string& s : plan.statics)
            if (facetOf(s, facet) == n && folderOf(s) == folderOf(path)) statics = s;
        if (!statics) {
            const std::string beside = findClientFile(folderOf(path).empty() ? "." : folderOf(path),
                                                      "statics" + std::to_string(n) + ".mul");
            if (!beside.empty()) statics = folderOf(path).empty() ? nameOf(beside) : beside;
        }
        if (statics) pairedStatics.push_back(*statics);
        try {
            staticIndexWorld(path, fileSystem().fileSize(path), n);
        } catch (const Error& e) {
            report.checked(path, "static index, facet " + std::to_string(n));
            report.add({Severity::Error, path, KindIndexLength, "", e.what()});
            if (statics) report.note(*statics, "not checked: the static index beside it could not be read");
            continue;
        }
        auto index = newStaticIndex();
        LoadStaticIndex(path, *index, {}, n);
        report.checked(path, "static index, facet " + std::to_string(n) + ", " + index->world().blocksText() + " blocks");
        worlds.emplace(n, index->world());
        crcs.emplace_back(path, StaticsCrc(*index));
        if (statics) report.checked(*statics, "statics, facet " + std::to_string(n));
        CheckStaticIndex(path, *index, statics, report, p);
    }
    for (const std::string& s : plan.statics)
        if (std::find(pairedStatics.begin(), pairedStatics.end(), s) == pairedStatics.end())
            report.note(s, "no static index of facet " + std::to_string(facetOf(s, facet)) +
                               " beside it: statics are only checked through their index");

    for (const std::string& path : plan.maps) {
        const int n = facetOf(path, facet);
        const std::optional<WorldGeometry> world = CheckMap(path, n, report, stepProgress(path));
        if (!world) continue;
        const auto known = worlds.find(n);
        if (known == worlds.end()) worlds.emplace(n, *world);
        else if (!known->second.sameSize(*world))
            report.add({Severity::Error, path, KindWorldMismatch, "",
                        "the map is of " + world->blocksText() + " blocks but the static index of facet " +
                            std::to_string(n) + " of " + known->second.blocksText()});
    }

    const FacetWorlds facetWorlds = [&worlds](int n) {
        const auto known = worlds.find(n);
        return known != worlds.end() ? known->second : facetSizes(n).back();
    };
    for (const std::string& path : plan.saves) CheckWorldSave(path, facetWorlds, report, stepProgress(path));
    for (const std::string& path : plan.packages) {
        stepProgress(path);
        CheckDiffPackageFile(path, crcs, report);
    }
    progress.report(100);
    return report;
}

} // namespace tq
