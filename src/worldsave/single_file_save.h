#pragma once
// Freeze's work on the single world-save file of SECTION objects.
#include "worldsave/world_save_store.h"

namespace tq {

// Scans the file for the items the rule selects, then reads it once more and writes it
// without them to a temporary (prepared in take.files). Items of this format name no
// facet: on a facet they do not stand on (WorldSaveCoversFacet) none is taken and the log
// says how many were skipped. Throws "Invalid item in patch file! (Item#: n)" for a selected
// item outside the world, before anything is written.
void takeSingleFileItems(const std::string& path, const TakeRequest& request, const LogSink& log,
                         const Progress& progress, FreezeTake& take);

} // namespace tq
