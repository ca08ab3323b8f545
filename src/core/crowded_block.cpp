#include "core/crowded_block.h"

#include "core/facets.h"

namespace tq {

std::string crowdedBlockMessage(int bx, int by, int64_t statics) {
    return "Block (" + std::to_string(bx) + ", " + std::to_string(by) + ") now holds " +
           groupedNumber(uint64_t(statics)) + " statics; the game client shows only the first " +
           std::to_string(ClientStaticsPerBlock);
}

void warnIfCrowded(const LogSink& log, int bx, int by, int64_t statics) {
    if (statics > ClientStaticsPerBlock && log) log(crowdedBlockMessage(bx, by, statics));
}

} // namespace tq
