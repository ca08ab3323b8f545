#pragma once
#include "core/progress.h"
#include "core/static_index.h"
#include "worldsave/world_save_reader.h"

#include <string>

namespace tq {

inline constexpr const char* SameWscAndPatMessage = "The WSC and the PAT file cannot be the same!";
inline constexpr const char* FreezingInProgressMessage =
    "Freezing in progress... Terraquill may look crashed, do not interrupt!";
inline constexpr const char* FreezingCompletedMessage = "Freezing completed!";
inline constexpr const char* PatInSaveFolderMessage =
    "The PAT file cannot be a .wsc file of the world-save folder!";

// Everything the main window would otherwise read from its controls.
struct FreezeOptions {
    std::string staidxPath;      // staidx0.mul
    std::string staticsPath;     // statics0.mul
    // The world-save (or a patch file a player freezes): a file of SECTION objects, or
    // today's folder of region files named by the folder or any .wsc in it (world_save_format.h).
    std::string worldSavePath;
    SelectionRule rule = SelectionRule::Type255;
    bool writePat = false;       // "Write PAT"
    std::string patPath;         // the chosen patch file; appended to when it exists
    std::string autoSelectPath;  // AutoSelect.txt; read only under SelectionRule::Auto
    // When true the freeze logs "Freezing in progress... ..." itself, right after
    // AutoSelect.txt has been read and before the scan (where the window shows it).
    bool announce = false;
    // The world-save's items name no facet and stand on facet 0; when facet 1 is a copy of
    // facet 0's world (as on many shards), they stand on facet 1 as well. A folder save's
    // items name their facet, so there this plays no part.
    bool sharedWorld = false;
};

// Whether items of a world-save without facets stand on `facet`.
bool WorldSaveCoversFacet(int facet, bool sharedWorld);
// "Skipped 3 items not on facet 2 (the world-save's items stand on facet 0)"
std::string skippedItemsMessage(int64_t items, int facet);

// True when the patch file and the world-save are one file: equal names ignoring ASCII
// case, or two spellings of one file on disk.
bool SameWscAndPat(const std::string& patPath, const std::string& wscPath);
// Throws "The WSC and the PAT file cannot be the same!" when SameWscAndPat.
// The window calls it right after the save dialog, before asking to append.
void CheckWscAndPat(const std::string& patPath, const std::string& wscPath);

// Clears all flags, then sets the id of every list line ('0E ED  tree' is 3821; only
// the first five characters count; empty lines and lines starting with '#' skipped).
// Throws the file layer's error or "Input not SpacedHex".
void LoadAutoSelectList(const std::string& path, AutoSelectIds& ids);

// Moves the selected items of the world-save into the statics of their blocks, and into
// the patch file when asked, in one pass over the world-save.
//
// Log lines, in order (the caller adds nothing in between):
//   ["Freezing in progress... Terraquill may look crashed, do not interrupt!"  if announce]
//   "Selecting item for export: <n>"                                  per selected item
//   per marked block, x-major:  "Extracting from WSC... XBlock: <x> YBlock: <y>"
//                               "Appending to Statics... XBlock: <x> YBlock: <y>"
//                               ["Appending to PAT-File... XBlock: <x> YBlock: <y>"
//                                ["Nothing to do!" when the block gave no item]]   if writePat
//   "Writing staidx file..."  "done..."  "Freezing completed!"
// Progress: 0; done*90/total after each marked block (with a pump); 90..99 while the
// index is saved; 100. The long text passes pump events without new values.
//
// Safety: everything is checked before the first write (same-file check, AutoSelect.txt,
// every number of the world-save and the patch file, items outside the world "Invalid
// item in patch file! (Item#: n)", every marked block's old + new records <= 2048,
// readable old runs). Then the new world-save and patch texts go to temporary files, the
// new runs are appended to statics0.mul (unreferenced so far), and the commits follow in
// this order: staidx0.mul (atomic), world-save (rename), patch file (rename). A failure
// at any point leaves every item in the world-save, the statics, or both.
//
// `index` is the window's StaticIndex, of the world being frozen (its facet and size): an
// index file on disk of another length is refused first. On a facet the world-save's items
// do not stand on, none is taken and the log says how many were skipped. The marked blocks'
// entries change, and they are saved whole; if the index cannot be saved, `index` is left as it was.
void FreezeWorld(const FreezeOptions& options, StaticIndexBuffer& index, const Progress& progress,
                 const LogSink& log);

} // namespace tq
