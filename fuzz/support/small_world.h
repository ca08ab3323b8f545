#pragma once
// A small client world for the harnesses: a full index with a few blocks holding statics.
#include "core/static_index.h"
#include "memory_file_system.h"

#include <memory>
#include <string>
#include <vector>

namespace tq::fuzz {

struct SmallWorld {
    std::unique_ptr<StaticIndexBuffer> index;
    std::string indexBytes;  // index encoded as staidx0.mul
    std::string statics;     // statics0.mul
    MemoryFileSystem::Node indexNode, staticsNode;  // the same, ready to share

    // Blocks (0,0), (0,1), (1,1), (2,5) and (767,511) hold a few records, one of them 2046
    // (so two more items overflow it); every other block is empty (-1, 0, 0).
    static const SmallWorld& get();
};

std::string encodeIndex(const StaticIndexBuffer& index);
std::vector<TStaticRec> blockRecords(const std::string& statics, const TStaticIndexRec& entry);
// Every entry that is not empty points inside the statics with a whole number of
// records, at most a block's capacity.
bool indexFitsStatics(const StaticIndexBuffer& index, uint64_t staticsSize);

} // namespace tq::fuzz
