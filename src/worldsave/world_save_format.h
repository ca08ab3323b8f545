#pragma once
// Which world-save the user named: the single items.wsc of "SECTION" objects, or today's
// folder of region files of "[ITEM]" records. Freeze and melt ask here first and then work
// on the one or the other; the program tells them apart by what the files hold, not by name.
#include "core/progress.h"

#include <string>
#include <vector>

namespace tq {

enum class WorldSaveFormat {
    SingleFile,  // items.wsc, UOX3.wsc or a patch file: "SECTION WORLDITEM n" { ... }
    Folder,      // "<cx>.<cy>.wsc" and "overflow.wsc": [ITEM] ... o---o
};

struct WorldSave {
    WorldSaveFormat format = WorldSaveFormat::SingleFile;
    std::string path;                // the file (single file) or the folder
    std::vector<std::string> files;  // the folder's .wsc files, whole paths, sorted by name
};

// Tells the format of `path`:
// - a folder: today's format; every .wsc in it must hold records (or nothing yet);
// - a file whose first object is a record: today's format, the file's folder;
// - any other file, or a file that does not exist yet: the single-file format (as always).
// Refuses a folder that holds no .wsc file ("<dir> holds no .wsc file of a world-save") and a
// folder that mixes both formats ("<dir> mixes both world-save formats: <a.wsc> holds
// SECTION objects, <b.wsc> [ITEM] records; move one of them away").
WorldSave DetectWorldSave(const std::string& path);

// The log line that says what was found, for today's format only (the single-file format
// keeps the log it always had): "World-save: a folder of 31 region files (<dir>)".
std::string worldSaveFoundMessage(const WorldSave& save);

// "<folder>/<name>" (the name alone for ""), the same on every system, so the log shows a
// region file as the user would type it after the folder they gave.
std::string fileInFolder(const std::string& folder, const std::string& name);

// True when `path` names a folder (the world-save field accepts one).
bool isFolderPath(const std::string& path);

} // namespace tq
