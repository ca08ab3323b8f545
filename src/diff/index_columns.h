#pragma once
#include "core/world.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tq {

class File;
struct Progress;

// An index read twice (its checksum first, its entries after) that differs between the reads:
// another program is writing it.
inline constexpr const char* IndexChangedMessage = "The file changed while it was being read; nothing was written";

// A static index read front to back a block column at a time, several columns per read,
// taking on the way the exclusive-or of its 32-bit words (StaticsCrc of the whole file once
// every column is read). Neither diff operation holds an index whole: 4.7 MB of fresh memory
// costs more to touch than a second read of the file from the page cache.
class IndexColumns {
public:
    // Opens the file and checks that it is exactly the world's index size.
    IndexColumns(const std::string& path, const WorldGeometry& world);
    ~IndexColumns();
    // The next column's raw entries (blocksHigh × 12 bytes), valid until the next call.
    const uint8_t* next();
    uint32_t crc() const { return crc_; }
    void close();

private:
    std::unique_ptr<File> file_;
    size_t columnBytes_;
    int columnsLeft_;
    std::vector<uint8_t> chunk_;
    size_t chunkColumns_ = 0, at_ = 0;
    uint32_t crc_ = 0;
};

// The checksum of a static index file (StaticsCrc of it), in one pass with the progress of
// loading it: bar 0, one bar per column, 100. Work a run left unfinished is done first, as
// every reader of an index does.
uint32_t indexFileCrc(const std::string& path, const WorldGeometry& world, const Progress& progress);

} // namespace tq
