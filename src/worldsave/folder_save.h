#pragma once
// Freeze's and melt's work on today's folder save (see folder_save_text.h for the text).
#include "core/atomic_file.h"
#include "core/progress.h"
#include "core/static_index.h"
#include "core/world.h"
#include "worldsave/world_save_format.h"
#include "worldsave/world_save_reader.h"
#include "worldsave/world_save_store.h"

#include <memory>
#include <string>
#include <vector>

namespace tq {

// Takes, out of every file of the folder (each read whole into one reused buffer, one at a time), the [ITEM] records that the rule selects (Type 255;
// under "auto" also Type 0 with an id of the list), that lie on the ground (Cont absent or
// 0xFFFFFFFF), whose Location names `world`'s facet and lies inside its map. Id, x and y
// within the block, z and Colour become the static. Logs "Selecting item for export: <serial>"
// per item and "Skipped <n> items outside the map of facet <f>" when the rule chose some that
// lie outside. Throws, before any temporary is kept, for a bad number in a record it reads.
void takeFolderItems(const WorldSave& save, SelectionRule rule, const AutoSelectIds& autoIds,
                     const WorldGeometry& world, const LogSink& log, const Progress& progress, FreezeTake& take,
                     BackgroundPrepare* preparer = nullptr);

// The highest serial of every record of every file of the folder (0 when none has one).
uint32_t highestFolderSerial(const WorldSave& save);

// The region file a melt of block (bx, by) writes into, and its new text prepared under a
// temporary name: the block's statics appended as [ITEM] records (see docs/formats.md),
// serials after the highest of the folder (from 0x40000000), in the file's own line ending.
// Null, after "Nothing to do!", for an empty block. Refuses when the serials would run out.
std::unique_ptr<AtomicFile> prepareFolderMelt(const WorldSave& save, const TStaticBlock& block, int bx, int by,
                                              const WorldGeometry& world, const LogSink& log);

// The record melt writes for one static standing at (x, y) on `facet`.
std::string meltedItemRecord(uint32_t serial, const TStaticRec& rec, int x, int y, int facet, std::string_view eol);

// The files a world-save consists of (for locks and their dead temporaries).
std::vector<std::string> worldSaveFiles(const WorldSave& save);
// The same for the world-save a path names; just the path when it cannot be told (the
// operation itself then says why). Callers that lock the world themselves pass these as
// the lock's companions, so that a killed run's temporaries in a save folder are removed.
std::vector<std::string> worldSaveFilesOf(const std::string& path);
// What the lock of an operation on `save` covers besides the index: a save folder serves
// every facet, so two runs on different facets must not rewrite its files at once.
std::string worldSaveLockPath(const WorldSave& save);

} // namespace tq
