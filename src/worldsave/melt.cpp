#include "worldsave/melt.h"

#include "core/atomic_file.h"
#include "core/commit_journal.h"
#include "core/error.h"
#include "core/facets.h"
#include "core/world_lock.h"
#include "worldsave/folder_save.h"
#include "worldsave/patch_writer.h"
#include "worldsave/world_save_format.h"
#include "worldsave/world_save_store.h"

namespace tq {

void MeltBlock(const MeltOptions& options, int bx, int by, StaticIndexBuffer& index, const Progress& progress,
               const LogSink& log) {
    auto say = [&log](const std::string& line) {
        if (log) log(line);
    };
    const WorldGeometry& world = index.world();
    RequireBlockInWorld(world, bx, by);
    RequireStaticIndexLength(options.staidxPath, index);
    const std::unique_ptr<WorldSaveStore> store = openWorldSaveStore(options.worldSavePath);
    const WorldSave& save = store->save();
    const WorldLock lock({options.staidxPath, worldSaveLockPath(save)}, "melt", worldSaveFiles(save), log);
    if (options.announce) say(MeltingInProgressMessage);
    if (const auto found = store->foundMessage()) say(*found);
    progress.report(0);

    TStaticBlock block;
    aboutFile(options.staidxPath, [&] { ReadBlockStatics(options.staticsPath, index.at(bx, by), block); });
    // Both new files are written in full under temporary names first; then the world-save
    // takes the items, and only after it the index forgets the statics. A failure before
    // the renames changes nothing, one between them leaves the statics in both places,
    // never in neither, and a crash can land between them only for the moment of a rename
    // (melting again after a crash in a longer window would have doubled the items).
    const std::unique_ptr<AtomicFile> worldSave = store->prepareMelt(block, bx, by, world, log);

    const TStaticIndexRec previous = index.at(bx, by);
    index.at(bx, by) = TStaticIndexRec{-1, 0, 0};
    say("Writing StaIdx file...");
    try {
        AtomicFile newIndex(options.staidxPath);
        WriteStaticIndex(newIndex.file(), index, progress);
        newIndex.prepare();
        // Journaled: a run killed between the renames is finished by the next one.
        commitInOrder(options.staidxPath, "melt", {worldSave.get(), &newIndex});
    } catch (...) {
        index.at(bx, by) = previous;
        throw;
    }
    if (worldSave)
        if (const auto rewrote = store->rewroteMessage(*worldSave)) say(*rewrote);
    say("Done!");
    progress.report(100);
    say(MeltingCompletedMessage);
}

} // namespace tq
