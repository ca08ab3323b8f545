#pragma once
// The serials of a world-save as `check` judges them: kept as bare numbers, then marked in
// pages of bits (a save's serials lie in a few runs) or, when they are too scattered for that,
// sorted by radix and walked together, to find the serials used more than once and the
// containers no object has.
#include <cstdint>
#include <vector>

namespace tq {

// Sorts `values` ascending; `scratch` is working memory kept from one call to the next.
void SortSerials(std::vector<uint32_t>& values, std::vector<uint32_t>& scratch);

struct SerialVerdict {
    std::vector<uint32_t> usedTwice;  // serials more than one object has, ascending, each once
    std::vector<uint32_t> missing;    // containers no object has, ascending, each once
};

// Judges the objects' serials, given as lists in any order (one per piece of the save; they may
// be sorted here), against the containers items name, in any order.
SerialVerdict JudgeSerials(const std::vector<std::vector<uint32_t>*>& objects, std::vector<uint32_t> containers);

} // namespace tq
