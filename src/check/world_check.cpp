#include "check/world_check.h"

#include "check/check_map.h"
#include "check/check_package.h"
#include "check/check_statics.h"
#include "check/check_tasks.h"
#include "check/check_world_save.h"
#include "core/ascii_case.h"
#include "core/error.h"
#include "core/facets.h"
#include "core/file_system.h"
#include "core/static_index.h"
#include "core/utf8_path.h"
#include "core/world_lock.h"
#include "core/map_file.h"
#include "core/world_info.h"
#include "diff/diff.h"
#include "diff/diff_package.h"
#include "mapedit/client_files.h"
#include "worldsave/folder_save_text.h"
#include "worldsave/world_save_format.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <memory>

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

// A progress in percent of the check of `bytes`, told to the task as bytes.
Progress bytesProgress(TaskContext& context, uint64_t bytes) {
    auto last = std::make_shared<int>(0);
    Progress p;
    p.position = [&context, bytes, last](int percent) {
        if (percent <= *last) return;
        context.advance(bytes * uint64_t(percent) / 100 - bytes * uint64_t(*last) / 100);
        *last = percent;
    };
    return p;
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

    // What the files say of their worlds, decided before any is read at length: the save's
    // items are judged against them while the map and index are being read.
    struct IndexPlan {
        std::string path;
        int facet;
        std::optional<std::string> statics;
        CheckReport found;
        std::optional<uint32_t> crc;
        uint64_t bytes = 0;  // of the index and its statics
    };
    struct MapPlan {
        std::string path;
        int facet;
        std::optional<WorldGeometry> known;  // the world of its facet before it: the index's, or an earlier map's
        CheckReport found;
        uint64_t bytes = 0;
    };
    std::map<int, WorldGeometry> worlds;  // of the indexes and maps checked, by facet
    std::vector<IndexPlan> indexes;
    std::vector<std::string> pairedStatics;
    uint64_t totalBytes = 0;
    for (const std::string& path : plan.indexes) {
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
        uint64_t bytes = 0;
        try {
            staticIndexWorld(path, fileSystem().fileSize(path), n);
            // Work a killed writer left is finished before the index is read (its length may change).
            finishInterruptedWorkBeforeReading(path);
            worlds.emplace(n, staticIndexWorld(path, fileSystem().fileSize(path), n));
            bytes = fileSystem().fileSize(path) + (statics ? fileSystem().fileSize(*statics) : 0);
        } catch (const Error&) {
            // Reported when the index is checked.
        }
        totalBytes += bytes;
        indexes.push_back({path, n, statics, {}, {}, bytes});
    }
    std::vector<MapPlan> maps;
    for (const std::string& path : plan.maps) {
        const int n = facetOf(path, facet);
        const auto known = worlds.find(n);
        maps.push_back({path, n, known != worlds.end() ? std::optional<WorldGeometry>(known->second) : std::nullopt, {}});
        try {
            const uint64_t length = mapFileLength(path, n);
            const WorldGeometry world = mapWorld(path, length, n);
            worlds.emplace(n, world);
            maps.back().bytes = world.mapBytes();
            totalBytes += world.mapBytes();
        } catch (const Error&) {
            // Reported when the map is checked.
        }
    }
    const FacetWorlds facetWorlds = [worlds](int n) {
        const auto known = worlds.find(n);
        return known != worlds.end() ? known->second : facetSizes(n).back();
    };
    // A large single-file save is read in up to 8 pieces, which the two threads share with
    // the map and the index: small enough that neither thread is left with much to do alone.
    std::vector<std::unique_ptr<WorldSaveCheck>> saves;
    for (const std::string& path : plan.saves) {
        saves.push_back(std::make_unique<WorldSaveCheck>(path, facetWorlds, 8));
        totalBytes += saves.back()->bytes();
    }

    // The map and the index first: read from a disk, they wait on it more than they work,
    // and the save's pieces (work for the processor) fill the time around them. An error is
    // told as checking the files one after another would meet it: indexes, maps, saves.
    std::vector<CheckTask> tasks;
    std::vector<size_t> rank;
    for (size_t i = 0; i < maps.size(); ++i) rank.push_back(indexes.size() + i);
    for (MapPlan& m : maps)
        tasks.push_back([&m](TaskContext& context) {
            const std::optional<WorldGeometry> world = CheckMap(m.path, m.facet, m.found, bytesProgress(context, m.bytes));
            if (world && m.known && !m.known->sameSize(*world))
                m.found.add({Severity::Error, m.path, KindWorldMismatch, "",
                             "the map is of " + world->blocksText() + " blocks but the static index of facet " +
                                 std::to_string(m.facet) + " of " + m.known->blocksText()});
        });
    for (size_t i = 0; i < indexes.size(); ++i) rank.push_back(i);
    for (IndexPlan& ix : indexes)
        tasks.push_back([&ix](TaskContext& context) {
            CheckReport& found = ix.found;
            try {
                staticIndexWorld(ix.path, fileSystem().fileSize(ix.path), ix.facet);
            } catch (const Error& e) {
                found.checked(ix.path, "static index, facet " + std::to_string(ix.facet));
                found.add({Severity::Error, ix.path, KindIndexLength, "", e.what()});
                if (ix.statics) found.note(*ix.statics, "not checked: the static index beside it could not be read");
                return;
            }
            const WorldGeometry world = staticIndexWorld(ix.path, fileSystem().fileSize(ix.path), ix.facet);
            found.checked(ix.path, "static index, facet " + std::to_string(ix.facet) + ", " + world.blocksText() + " blocks");
            if (ix.statics) found.checked(*ix.statics, "statics, facet " + std::to_string(ix.facet));
            ix.crc = CheckStaticIndexFile(ix.path, world, ix.statics, found, bytesProgress(context, ix.bytes));
        });
    size_t saveRank = indexes.size() + maps.size();
    for (auto& save : saves)
        for (size_t part = 0; part < save->parts(); ++part, rank.push_back(saveRank++))
            tasks.push_back([&save, part](TaskContext& context) {
                save->scan(part, context.scratch<WorldSaveCheck::Scratch>(),
                           [&context](uint64_t n) { context.advance(n); });
            });
    progress.setMessage(paths.size() == 1 ? "Checking " + paths[0] : "Checking " + std::to_string(paths.size()) + " paths");
    // A small world is checked in a few milliseconds: there a second thread gains nothing, and
    // one thread moves the bar through every part.
    constexpr uint64_t SecondThreadFrom = uint64_t(8) << 20;
    RunCheckTasks(tasks, totalBytes, progress, rank, totalBytes < SecondThreadFrom ? 1 : 2);

    // The findings in the order of the files: indexes, maps, saves, packages.
    CheckReport report;
    std::vector<std::pair<std::string, uint32_t>> crcs;
    for (const IndexPlan& ix : indexes) {
        report.append(ix.found);
        if (ix.crc) crcs.emplace_back(ix.path, *ix.crc);
    }
    for (const std::string& s : plan.statics)
        if (std::find(pairedStatics.begin(), pairedStatics.end(), s) == pairedStatics.end())
            report.note(s, "no static index of facet " + std::to_string(facetOf(s, facet)) +
                               " beside it: statics are only checked through their index");
    for (const MapPlan& m : maps) report.append(m.found);
    for (auto& save : saves) save->finish(report);
    for (const std::string& path : plan.packages) {
        progress.setMessage("Checking " + path);
        CheckDiffPackageFile(path, crcs, report);
    }
    progress.report(100);
    return report;
}

} // namespace tq
