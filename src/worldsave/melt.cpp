#include "worldsave/melt.h"

#include "core/error.h"
#include "worldsave/patch_writer.h"

namespace tq {

void MeltBlock(const MeltOptions& options, int bx, int by, StaticIndexBuffer& index, const Progress& progress,
               const LogSink& log) {
    auto say = [&log](const std::string& line) {
        if (log) log(line);
    };
    if (!validBlock(bx, by))
        throw Error("Block (" + std::to_string(bx) + ", " + std::to_string(by) +
                    ") is outside the world: X must be 0..767 and Y 0..511");
    if (options.announce) say(MeltingInProgressMessage);
    progress.report(0);

    TStaticBlock block;
    ReadBlockStatics(options.staticsPath, index.at(bx, by), block);
    // The world-save gets the items first; only then does the index forget the statics,
    // so a failure in between leaves them in both places, never in neither.
    WriteWorldItems(options.worldSavePath, block, bx, by, log);

    const TStaticIndexRec previous = index.at(bx, by);
    index.at(bx, by) = TStaticIndexRec{-1, 0, 0};
    say("Writing StaIdx file...");
    try {
        SaveStaticIndex(options.staidxPath, index, progress);
    } catch (...) {
        index.at(bx, by) = previous;
        throw;
    }
    say("Done!");
    progress.report(100);
    say(MeltingCompletedMessage);
}

} // namespace tq
