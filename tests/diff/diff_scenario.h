#pragma once
// One original world and one modified world that between them show every change rule.
#include "diff_fixture.h"

namespace tq::test {

struct Scenario {
    StaticsWorld orig, mod;
    std::map<std::pair<int, int>, TMapBlock> origMap, modMap;

    // Block roles (statics):
    //  A (0,0)     same index entry in both; with sameEntryOtherBytes the modified statics
    //              file holds other records there (a package ignores them)
    //  B (0,1)     has statics, emptied in the modified index (-1, 0, 0)
    //  C (1,0)     Start set but Length 0 in both, Extra 7
    //  D (2,2)     the same two records, reordered, at a new place
    //  E (3,3)     empty originally, one record in the modified world
    //  F (5,5)     the same record copied to a new place: not a change
    //  G (767,511) unchanged, Extra 3
    //  every other block (-1, 0, 0) in both
    explicit Scenario(bool sameEntryOtherBytes = false) {
        orig.put(0, 0, {rec(0x0101), rec(0x0102, 7, 7, -128, 0xFFFF)}, 5);
        orig.put(0, 1, {rec(0x0201)});
        orig.put(1, 0, {}, 7);
        orig.put(2, 2, {rec(0x0401), rec(0x0402)});
        orig.put(5, 5, {rec(0x0601)});
        orig.put(767, 511, {rec(0x0701)}, 3);

        mod = orig;
        mod.index->at(0, 1) = {-1, 0, 0};
        mod.put(2, 2, {rec(0x0402), rec(0x0401)});
        mod.put(3, 3, {rec(0x0501, 4, 4, 10, 33)});
        mod.put(5, 5, {rec(0x0601)});
        if (sameEntryOtherBytes) mod.statics[size_t(orig.index->at(0, 0).Start)] ^= 0x55;

        origMap = {{{0, 0}, mapBlock(1)}, {{1, 5}, mapBlock(2)}, {{767, 511}, mapBlock(3)}};
        modMap = origMap;
        modMap[{0, 0}].Header[3] ^= 0x80;  // only the opaque header differs
        modMap[{2, 0}] = mapBlock(5);
        modMap[{767, 511}] = mapBlock(6);
    }

    // Statics data a package of this change holds: D's then E's records (x-major).
    std::string packageStatics() const {
        return recordBytes({rec(0x0402), rec(0x0401)}) + recordBytes({rec(0x0501, 4, 4, 10, 33)});
    }

    void writeOriginal(const DiffPaths& p, bool withMap = true) const {
        orig.write(p.origStaIdx, p.origStatics);
        if (withMap) makeMap(p.origMap, origMap);
    }
    void writeModified(const DiffPaths& p, bool withMap = true) const {
        mod.write(p.modStaIdx, p.modStatics);
        if (withMap) makeMap(p.modMap, modMap);
    }
};

} // namespace tq::test
