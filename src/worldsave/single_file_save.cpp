#include "worldsave/single_file_save.h"

#include "core/error.h"
#include "core/file_system.h"
#include "worldsave/extraction.h"
#include "worldsave/freeze.h"

#include <algorithm>

namespace tq {

void takeSingleFileItems(const std::string& path, const TakeRequest& request, const LogSink& log,
                         const Progress& progress, FreezeTake& take) {
    const WorldGeometry& world = *request.world;
    const std::unique_ptr<File> file = openFile(path, OpenMode::Read);
    wstext::ChunkedLineReader reader(*file);
    auto table = newSelectionTable();
    detail::ItemDigest digest;
    aboutFile(path, [&] {
        detail::selectItemsInParts(*file, *table, request.rule, *request.autoIds, log, progress, digest);
    });

    // The marked blocks in x-major order; an item's pass is its block's place in that order.
    // Items of this format name no facet: they stand on facet 0, and on facet 1 too when that
    // facet shares facet 0's world. On any other facet none of them is taken.
    if (!WorldSaveCoversFacet(world.facet, request.sharedWorld)) {
        int64_t skipped = 0;
        for (size_t n = 0; n < 65536; ++n)
            if ((*table)[n].Selected == 1) {
                (*table)[n].Selected = 0;
                ++skipped;
            }
        if (skipped > 0 && log) log(skippedItemsMessage(skipped, world.facet));
    }
    std::vector<uint32_t> markedKeys;
    for (size_t n = 0; n < 65536; ++n) {
        const TSelectionEntry& e = (*table)[n];
        if (e.Selected != 1) continue;
        if (!world.validBlock(e.BlockX, e.BlockY))
            throw Error("Invalid item in patch file! (Item#: " + std::to_string(n) + ")");
        markedKeys.push_back(uint32_t(world.blockNumber(e.BlockX, e.BlockY)));
    }
    std::sort(markedKeys.begin(), markedKeys.end());
    markedKeys.erase(std::unique(markedKeys.begin(), markedKeys.end()), markedKeys.end());
    if (markedKeys.empty()) return;
    std::vector<uint32_t> targets(65536, detail::NoTarget);
    for (size_t n = 0; n < 65536; ++n) {
        const TSelectionEntry& e = (*table)[n];
        if (e.Selected != 1) continue;
        const uint32_t key = uint32_t(world.blockNumber(e.BlockX, e.BlockY));
        targets[n] = uint32_t(std::lower_bound(markedKeys.begin(), markedKeys.end(), key) - markedKeys.begin());
    }
    table.reset();

    auto out = std::make_unique<AtomicFile>(path);
    LargeVector<detail::ExtractedRecord> records;
    {
        wstext::StreamTextWriter writer(out->file());
        if (digest.complete) {
            // What the scan noted is all the extraction needs: the file is only copied.
            detail::takenRecords(digest, targets, records);
            aboutFile(path, [&] { detail::writeKept(reader, digest, targets, writer, progress); });
        } else {
            std::vector<detail::ExtractedRecord> read;
            aboutFile(path, [&] { detail::extractItems(reader, targets, writer, read, progress); });
            records.assign(read.begin(), read.end());
        }
    }
    digest = detail::ItemDigest{};
    file->close();
    if (!request.preparer) out->prepare();
    take.files.push_back(std::move(out));
    if (request.preparer) request.preparer->add(*take.files.back());
    take.markedBlocks = markedKeys;
    take.items.reserve(records.size());
    for (const detail::ExtractedRecord& r : records) take.items.push_back({markedKeys[r.pass], r.rec});
}

} // namespace tq
