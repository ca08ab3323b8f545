#include "diff/package_blocks.h"

#include "core/bytes.h"
#include "core/error.h"
#include "core/file_system.h"
#include "core/static_index.h"
#include "diff/diff_package.h"

namespace tq {

std::vector<bool> PackageChangedBlocks(const std::string& packagePath, WorldGeometry& world,
                                       const StaticIndexBuffer* original) {
    return aboutFile(packagePath, [&] {
        auto file = openFile(packagePath, OpenMode::Read);
        const uint64_t size = file->size();
        std::vector<uint8_t> bytes(DiffHeaderSize, 0);
        if (size >= uint64_t(DiffHeaderSize)) file->read(bytes.data(), bytes.size());
        TDiffHeader header;
        decodeDiffHeader(bytes.data(), header);
        CheckDiffHeader(header, size);
        world = DiffHeaderWorld(header);
        std::vector<bool> changed(size_t(world.blockCount()), false);
        if (header.StaticsIndexPos != -1) {
            bytes.resize(size_t(DiffStaticsIndexSize(world)));
            file->seek(uint64_t(header.StaticsIndexPos));
            file->read(bytes.data(), bytes.size());
            CheckDiffStaticsTable(bytes.data(), size, world);
            for (int n = 0; n < world.blockCount(); ++n) {
                TDiffStaticsEntry e;
                decodeDiffStaticsEntry(bytes.data() + size_t(n) * DiffStaticsEntrySize, e);
                if (e.emptied()) {
                    if (!original || !original->world().sameSize(world)) continue;
                    const TStaticIndexRec& o = original->entries[size_t(n)];
                    if (o.Start != -1 && o.Length > 0) changed[size_t(n)] = true;
                } else if (!e.unchanged()) {
                    changed[size_t(n)] = true;
                }
            }
        }
        if (header.MapIndexPos != -1) {
            bytes.resize(size_t(DiffMapIndexSize(world)));
            file->seek(uint64_t(header.MapIndexPos));
            file->read(bytes.data(), bytes.size());
            CheckDiffMapTable(bytes.data(), size, world);
            for (int n = 0; n < world.blockCount(); ++n)
                if (le::i32(bytes.data() + size_t(n) * DiffMapEntrySize) != -1) changed[size_t(n)] = true;
        }
        file->close();
        return changed;
    });
}

} // namespace tq
