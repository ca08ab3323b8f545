#include "core/loaded_index.h"

#include "core/file_system.h"
#include "core/world.h"

#include <cstring>

namespace tq {

void CheckIndexUnchanged(const std::string& staidxPath, const StaticIndexBuffer& index) {
    FileSystem& fs = fileSystem();
    const WorldGeometry& world = index.world();
    if (!fs.exists(staidxPath) || fs.fileSize(staidxPath) != world.staticIndexBytes()) return;
    const std::string bytes = readWholeFile(staidxPath);
    if (bytes.size() != world.staticIndexBytes()) return;
    uint8_t mine[StaticIndexRecSize];
    for (int x = 0; x < world.blocksWide; ++x)
        for (int y = 0; y < world.blocksHigh; ++y) {
            encodeIndexRec(index.at(x, y), mine);
            if (std::memcmp(mine, bytes.data() + world.staticIndexOffset(x, y), StaticIndexRecSize) != 0)
                throw IndexChangedError(staidxPath);
        }
}

} // namespace tq
