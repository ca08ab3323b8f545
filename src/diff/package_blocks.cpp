#include "diff/package_blocks.h"

#include "core/error.h"
#include "core/file_system.h"
#include "core/static_index.h"
#include "diff/buffered_io.h"
#include "diff/package_reader.h"

namespace tq {

std::vector<bool> PackageChangedBlocks(const std::string& packagePath, WorldGeometry& world,
                                       const StaticIndexBuffer* original) {
    return aboutFile(packagePath, [&] {
        auto file = openFile(packagePath, OpenMode::Read);
        WindowedReader package(*file);
        const CheckedPackage p = ReadCheckedPackage(package);
        world = p.world;
        std::vector<bool> changed(size_t(world.blockCount()), false);
        for (int n = 0; n < world.blockCount(); ++n) {
            if (p.hasMap() && p.mapEntry(n) != -1) changed[size_t(n)] = true;
            if (!p.hasStatics()) continue;
            // A compact package leaves out the blocks the original index already implies.
            const TDiffStaticsEntry e = p.staticsEntry(n);
            if (e == CompactImplied || e.unchanged()) continue;
            if (e.emptied()) {
                if (!original || !original->world().sameSize(world)) continue;
                const TStaticIndexRec& o = original->entries[size_t(n)];
                if (o.Start != -1 && o.Length > 0) changed[size_t(n)] = true;
            } else {
                changed[size_t(n)] = true;
            }
        }
        file->close();
        return changed;
    });
}

} // namespace tq
