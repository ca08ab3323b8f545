#include "core/static_listing.h"

#include "core/spaced_hex.h"

namespace tq {

std::vector<std::string> staticListingLines(const TStaticBlock& block, int blockX, int blockY) {
    std::vector<std::string> lines;
    lines.reserve(block.Count);
    for (int i = 0; i < block.Count; ++i) {
        const TStaticRec& r = block.Records[size_t(i)];
        lines.push_back("Item #" + std::to_string(i + 1) + ": Item ID = " + IntToSpacedHex(r.ItemId, 2) +
                        ", X = " + std::to_string(blockX * BlockSize + r.X) +
                        ", Y = " + std::to_string(blockY * BlockSize + r.Y) +
                        ", Z = " + std::to_string(int(r.Z)) +
                        ", Color = " + IntToSpacedHex(r.Color, 2));
    }
    return lines;
}

} // namespace tq
