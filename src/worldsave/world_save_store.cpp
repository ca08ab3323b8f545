#include "worldsave/world_save_store.h"

#include "core/error.h"
#include "core/utf8_path.h"
#include "worldsave/folder_save.h"
#include "worldsave/folder_save_text.h"
#include "worldsave/freeze.h"
#include "worldsave/patch_writer.h"
#include "worldsave/single_file_save.h"

#include <filesystem>

namespace tq {

namespace {

class SingleFileStore final : public WorldSaveStore {
public:
    using WorldSaveStore::WorldSaveStore;
    std::optional<std::string> foundMessage() const override { return std::nullopt; }
    void checkPatFile(const std::string&) const override {}  // the one file is checked by the caller
    void takeItems(const TakeRequest& request, const LogSink& log, const Progress& progress,
                   FreezeTake& take) override {
        takeSingleFileItems(save().path, request, log, progress, take);
    }
    std::unique_ptr<AtomicFile> prepareMelt(const TStaticBlock& block, int bx, int by, const WorldGeometry&,
                                            const LogSink& log) override {
        return PrepareWorldItems(save().path, block, bx, by, log);
    }
    std::optional<std::string> rewroteMessage(const AtomicFile&) const override { return std::nullopt; }
};

class FolderStore final : public WorldSaveStore {
public:
    using WorldSaveStore::WorldSaveStore;
    std::optional<std::string> foundMessage() const override { return worldSaveFoundMessage(save()); }
    // A patch file among the region files would be rewritten twice, or join the save as a
    // file of the other format.
    void checkPatFile(const std::string& patPath) const override {
        for (const std::string& file : save().files) CheckWscAndPat(patPath, file);
        std::error_code ec;
        const std::string patFolder = folderOf(patPath);
        if (wsc::isWscFileName(nameOf(patPath)) &&
            std::filesystem::equivalent(fsPath(patFolder.empty() ? "." : patFolder),
                                        fsPath(save().path.empty() ? "." : save().path), ec))
            throw Error(PatInSaveFolderMessage);
    }
    // Items name their facet, so the shared-world choice plays no part.
    void takeItems(const TakeRequest& request, const LogSink& log, const Progress& progress,
                   FreezeTake& take) override {
        takeFolderItems(save(), request.rule, *request.autoIds, *request.world, log, progress, take,
                        request.preparer);
    }
    std::unique_ptr<AtomicFile> prepareMelt(const TStaticBlock& block, int bx, int by, const WorldGeometry& world,
                                            const LogSink& log) override {
        return prepareFolderMelt(save(), block, bx, by, world, log);
    }
    std::optional<std::string> rewroteMessage(const AtomicFile& file) const override {
        return "Rewrote " + file.namedPath();
    }
};

} // namespace

std::unique_ptr<WorldSaveStore> openWorldSaveStore(const std::string& path) {
    WorldSave save = DetectWorldSave(path);
    if (save.format == WorldSaveFormat::Folder) return std::make_unique<FolderStore>(std::move(save));
    return std::make_unique<SingleFileStore>(std::move(save));
}

} // namespace tq
