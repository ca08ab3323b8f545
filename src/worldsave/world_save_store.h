#pragma once
// The one interface freeze and melt work through, whatever the format of the world-save:
// the single items.wsc of SECTION objects, or today's folder of region files. Each format
// reads its files front to back in large pieces and never holds the whole save at once.
#include "core/atomic_file.h"
#include "core/progress.h"
#include "core/static_index.h"
#include "core/world.h"
#include "worldsave/large_memory.h"
#include "worldsave/world_save_format.h"
#include "worldsave/world_save_reader.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tq {

// An item freeze takes: the block it stands in (WorldGeometry::blockNumber) and its static.
struct TakenItem {
    uint32_t block = 0;
    TStaticRec rec;
};

struct TakeRequest {
    SelectionRule rule = SelectionRule::Type255;
    const AutoSelectIds* autoIds = nullptr;  // read under SelectionRule::Auto
    const WorldGeometry* world = nullptr;    // the facet being frozen
    bool sharedWorld = false;                // see FreezeOptions::sharedWorld
    // Takes the new files to be prepared while the work goes on; null: each is prepared in place.
    BackgroundPrepare* preparer = nullptr;
};

struct FreezeTake {
    // The taken items; those of one block in the order they are appended to its statics.
    LargeVector<TakenItem> items;
    // Blocks the selection marked (WorldGeometry::blockNumber), also when no item of theirs
    // came out: such a block is still rewritten and logged. Blocks of `items` need not be here.
    std::vector<uint32_t> markedBlocks;
    // The world-save's files that lose items, written whole under temporary names and
    // prepared (or handed to the request's preparer), in the order they are to be committed.
    // Files that lose nothing are not touched.
    std::vector<std::unique_ptr<AtomicFile>> files;
};

class WorldSaveStore {
public:
    explicit WorldSaveStore(WorldSave save) : save_(std::move(save)) {}
    virtual ~WorldSaveStore() = default;
    const WorldSave& save() const { return save_; }

    // The log line that says what was found (nullopt: the single file keeps its old log).
    virtual std::optional<std::string> foundMessage() const = 0;
    // Refuses a patch file the freeze would write over a file of the world-save.
    virtual void checkPatFile(const std::string& patPath) const = 0;
    // Freeze: selects the items and prepares the files without them. Logs
    // "Selecting item for export: ..." per item. Nothing the user owns is written.
    virtual void takeItems(const TakeRequest& request, const LogSink& log, const Progress& progress,
                           FreezeTake& take) = 0;
    // Melt: the world-save's file with the block's statics added as items, prepared under a
    // temporary name; null (after "Nothing to do!") for an empty block.
    virtual std::unique_ptr<AtomicFile> prepareMelt(const TStaticBlock& block, int bx, int by,
                                                    const WorldGeometry& world, const LogSink& log) = 0;
    // The line logged after a prepared file has replaced the old one (nullopt: none).
    virtual std::optional<std::string> rewroteMessage(const AtomicFile& file) const = 0;

private:
    WorldSave save_;
};

// Tells the format of `path` (DetectWorldSave) and opens the store for it.
std::unique_ptr<WorldSaveStore> openWorldSaveStore(const std::string& path);

} // namespace tq
