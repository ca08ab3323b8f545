#include "check/check_statics.h"

#include "core/crowded_block.h"
#include "core/facets.h"
#include "core/file_system.h"
#include "core/static_index.h"
#include "diff/buffered_io.h"

#include <algorithm>
#include <vector>

namespace tq {

namespace {

struct Run {
    uint64_t start, end;
    int block;
};

std::string blockWhere(const WorldGeometry& world, int block) {
    return "block (" + std::to_string(block / world.blocksHigh) + ", " + std::to_string(block % world.blocksHigh) + ")";
}

std::string bytesText(uint64_t start, uint64_t end) {
    return "bytes " + groupedNumber(start) + ".." + groupedNumber(end - 1);
}

std::string share(uint64_t part, uint64_t whole) {
    const uint64_t tenths = whole ? (part * 1000 + whole / 2) / whole : 0;
    return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10) + "%";
}

} // namespace

void CheckStaticIndex(const std::string& indexPath, const StaticIndexBuffer& index,
                      const std::optional<std::string>& staticsPath, CheckReport& report, const Progress& progress) {
    const WorldGeometry& world = index.world();
    const std::string staticsName = staticsPath ? nameOf(*staticsPath) : std::string("the statics file");
    const uint64_t staticsSize = staticsPath ? fileSystem().fileSize(*staticsPath) : UINT64_MAX;
    auto add = [&](Severity s, const char* kind, int block, const std::string& what) {
        report.add({s, indexPath, kind, blockWhere(world, block), what});
    };

    std::vector<Run> runs;
    for (int n = 0; n < world.blockCount(); ++n) {
        const TStaticIndexRec& e = index.entries[size_t(n)];
        if (e.Start == -1) continue;
        if (e.Start < 0 || e.Length < 0) {
            add(Severity::Error, KindNegativeEntry, n,
                "its Start " + std::to_string(e.Start) + " or Length " + std::to_string(e.Length) + " is negative");
            continue;
        }
        if (e.Length % StaticRecSize != 0) {
            add(Severity::Error, KindLengthNotMultiple, n,
                "its Length " + std::to_string(e.Length) + " is not a multiple of " + std::to_string(StaticRecSize));
            continue;
        }
        if (e.Length == 0) continue;
        const uint64_t start = uint64_t(e.Start), end = start + uint64_t(e.Length);
        if (end > staticsSize) {
            add(Severity::Error, KindRunPastEnd, n,
                "its run (" + bytesText(start, end) + ") ends past the end of " + staticsName + " (" +
                    groupedNumber(staticsSize) + " bytes)");
            continue;
        }
        const int64_t records = e.Length / StaticRecSize;
        if (records > StaticBlockCapacity)
            add(Severity::Error, KindOverProgramLimit, n,
                "it holds " + groupedNumber(uint64_t(records)) + " statics; this program handles at most " +
                    std::to_string(StaticBlockCapacity) + " per block");
        else if (records > ClientStaticsPerBlock)
            add(Severity::Warning, KindOverClientLimit, n,
                "it holds " + groupedNumber(uint64_t(records)) + " statics; the game client shows only the first " +
                    std::to_string(ClientStaticsPerBlock));
        runs.push_back({start, end, n});
    }
    progress.report(20);
    progress.pumpEvents();

    std::sort(runs.begin(), runs.end(), [](const Run& a, const Run& b) {
        return a.start != b.start ? a.start < b.start : a.block < b.block;
    });
    // Runs sharing bytes: each run against the one reaching furthest before it.
    uint64_t reach = 0, covered = 0;
    int reachBlock = -1;
    for (const Run& r : runs) {
        if (r.start < reach)
            add(Severity::Error, KindOverlap, r.block,
                "its run (" + bytesText(r.start, r.end) + ") overlaps that of " + blockWhere(world, reachBlock));
        if (r.end > reach) {
            covered += r.end - std::max(r.start, reach);
            reach = r.end;
            reachBlock = r.block;
        }
    }
    if (!staticsPath) {
        report.note(indexPath, "no statics file beside it: its runs were not checked against one");
        return;
    }

    // The records themselves, in file order.
    auto statics = openFile(*staticsPath, OpenMode::Read);
    WindowedReader reader(*statics, size_t(4) << 20);
    std::vector<uint8_t> bytes;
    size_t done = 0;
    for (const Run& r : runs) {
        bytes.resize(size_t(r.end - r.start));
        reader.read(r.start, bytes.data(), bytes.size());
        int outside = 0;
        size_t first = 0;
        for (size_t i = 0; i < bytes.size(); i += StaticRecSize) {
            TStaticRec rec;
            decodeStaticRec(bytes.data() + i, rec);
            if (rec.X < BlockSize && rec.Y < BlockSize) continue;
            if (outside++ == 0) first = i;
        }
        if (outside) {
            TStaticRec rec;
            decodeStaticRec(bytes.data() + first, rec);
            add(Severity::Error, KindStaticOutsideBlock, r.block,
                std::to_string(outside) + (outside == 1 ? " of its statics lies" : " of its statics lie") +
                    " outside the block (the first: record " + std::to_string(first / StaticRecSize + 1) + " at X " +
                    std::to_string(rec.X) + ", Y " + std::to_string(rec.Y) + "; both must be 0..7)");
        }
        if (++done % 65536 == 0) {
            progress.report(20 + int(done * 80 / runs.size()));
            progress.pumpEvents();
        }
    }
    // Every append leaves the old run behind: dead bytes cost space, not correctness.
    if (covered < staticsSize)
        report.note(*staticsPath, groupedNumber(staticsSize - covered) + " of its " + groupedNumber(staticsSize) +
                                      " bytes (" + share(staticsSize - covered, staticsSize) +
                                      ") are not referenced by any index entry; compact gives them back");
    progress.report(100);
}

} // namespace tq
