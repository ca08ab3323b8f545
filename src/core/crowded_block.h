#pragma once
#include "core/progress.h"

#include <cstdint>
#include <string>

// The game client draws at most 1024 statics of one block and silently drops the rest. The
// files stay valid, so writers do not refuse such a block; they say so in their log.
namespace tq {

inline constexpr int ClientStaticsPerBlock = 1024;

// "Block (x, y) now holds 1,130 statics; the game client shows only the first 1024"
std::string crowdedBlockMessage(int bx, int by, int64_t statics);

// Logs crowdedBlockMessage when a block a writer has just written ends with more statics
// than the client draws; nothing otherwise.
void warnIfCrowded(const LogSink& log, int bx, int by, int64_t statics);

} // namespace tq
