#include "diff/index_columns.h"

#include "core/error.h"
#include "core/file_system.h"
#include "core/progress.h"
#include "core/world_lock.h"
#include "diff/diff_package.h"

#include <algorithm>

namespace tq {

namespace {
// Large enough that a whole index takes about a hundred reads, small enough to come from the
// heap (allocations from 128 KB up are fresh pages every time).
constexpr size_t ChunkBytes = size_t(48) << 10;
} // namespace

IndexColumns::IndexColumns(const std::string& path, const WorldGeometry& world)
    : file_(openFile(path, OpenMode::Read)), columnBytes_(world.staticIndexColumnBytes()),
      columnsLeft_(world.blocksWide) {
    if (file_->size() != world.staticIndexBytes()) throw Error(msg::ReadBeyondEnd, path);
    chunk_.resize(std::max<size_t>(1, ChunkBytes / columnBytes_) * columnBytes_);
}

IndexColumns::~IndexColumns() = default;

const uint8_t* IndexColumns::next() {
    if (at_ == chunkColumns_) {
        if (columnsLeft_ <= 0) throw Error(msg::ReadBeyondEnd, file_->name());
        chunkColumns_ = std::min<size_t>(chunk_.size() / columnBytes_, size_t(columnsLeft_));
        file_->read(chunk_.data(), chunkColumns_ * columnBytes_);
        // Every entry is three words, so a column's words are a whole number of them.
        crc_ ^= MapBytesSum(chunk_.data(), chunkColumns_ * columnBytes_);
        columnsLeft_ -= int(chunkColumns_);
        at_ = 0;
    }
    return chunk_.data() + columnBytes_ * at_++;
}

void IndexColumns::close() { file_->close(); }

uint32_t indexFileCrc(const std::string& path, const WorldGeometry& world, const Progress& progress) {
    progress.report(0);
    finishInterruptedWorkBeforeReading(path);
    IndexColumns index(path, world);
    for (int x = 0; x < world.blocksWide; ++x) {
        index.next();
        progress.report(x * 100 / world.blocksWide);
        progress.pumpEvents();
    }
    index.close();
    progress.report(100);
    return index.crc();
}

} // namespace tq
