#include "small_world.h"
#include "support/classic_world.h"

namespace tq::fuzz {

std::string encodeIndex(const StaticIndexBuffer& index) {
    std::string bytes(StaticIndexFileSize, '\0');
    for (int x = 0; x < BlocksX; ++x)
        for (int y = 0; y < BlocksY; ++y)
            encodeIndexRec(index.at(x, y), reinterpret_cast<uint8_t*>(bytes.data()) + staticIndexOffset(x, y));
    return bytes;
}

std::vector<TStaticRec> blockRecords(const std::string& statics, const TStaticIndexRec& e) {
    std::vector<TStaticRec> out;
    if (e.Start == -1) return out;
    for (int i = 0; i < e.Length / StaticRecSize; ++i) {
        TStaticRec r;
        decodeStaticRec(reinterpret_cast<const uint8_t*>(statics.data()) + e.Start + i * StaticRecSize, r);
        out.push_back(r);
    }
    return out;
}

bool indexFitsStatics(const StaticIndexBuffer& index, uint64_t staticsSize) {
    for (int x = 0; x < BlocksX; ++x)
        for (int y = 0; y < BlocksY; ++y) {
            const TStaticIndexRec& e = index.at(x, y);
            if (e.Start == -1) continue;
            if (e.Start < 0 || e.Length < 0 || e.Length % StaticRecSize != 0) return false;
            if (uint32_t(e.Length) > StaticBlockMaxBytes) return false;
            if (uint64_t(e.Start) + uint64_t(e.Length) > staticsSize) return false;
        }
    return true;
}

const SmallWorld& SmallWorld::get() {
    static const SmallWorld world = [] {
        SmallWorld w;
        w.index = newStaticIndex();
        w.index->fill(TStaticIndexRec{-1, 0, 0});
        auto put = [&w](int bx, int by, int count, int32_t extra) {
            w.index->at(bx, by) = {int32_t(w.statics.size()), count * StaticRecSize, extra};
            for (int i = 0; i < count; ++i) {
                uint8_t b[StaticRecSize];
                encodeStaticRec(TStaticRec{uint16_t(0x100 + i), uint8_t(i % 8), uint8_t(i / 8 % 8), int8_t(i - 3),
                                           uint16_t(bx * 3 + by)},
                                b);
                w.statics.append(reinterpret_cast<const char*>(b), sizeof b);
            }
        };
        put(0, 0, 3, 0);
        put(0, 1, 1, 7);
        put(1, 1, 5, -1);
        put(2, 5, StaticBlockCapacity - 2, 0);
        put(767, 511, 2, 0);
        w.index->at(3, 3) = {int32_t(w.statics.size()), 0, 0};  // a zero-length run
        w.indexBytes = encodeIndex(*w.index);
        w.indexNode = nodeOf(w.indexBytes);
        w.staticsNode = nodeOf(w.statics);
        return w;
    }();
    return world;
}

} // namespace tq::fuzz
