#pragma once
// The serials of a world-save as `check` judges them: kept as bare numbers, sorted by radix,
// and walked together to find the serials used more than once and the containers no object has.
#include <cstdint>
#include <vector>

namespace tq {

// Sorts `values` ascending; `scratch` is working memory kept from one call to the next.
void SortSerials(std::vector<uint32_t>& values, std::vector<uint32_t>& scratch);

struct SerialVerdict {
    std::vector<uint32_t> usedTwice;  // serials more than one object has, ascending, each once
    std::vector<uint32_t> missing;    // containers no object has, ascending, each once
};

// Judges the objects' serials, given as sorted lists (one per piece of the save) against the
// sorted list of the containers items name.
SerialVerdict JudgeSerials(const std::vector<const std::vector<uint32_t>*>& objects,
                           const std::vector<uint32_t>& containers);

} // namespace tq
