#pragma once
// `compact`: rewrites a statics file in index order, dropping every byte no entry uses, and
// the index with it; the pair is replaced under the world lock and the commit journal.
#include "check/check_report.h"
#include "core/error.h"
#include "core/progress.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tq {

struct CompactOptions {
    std::string staidxPath, staticsPath;
    std::optional<int> facet;
    // Keep only the first 1024 statics of fuller blocks (what the client draws anyway).
    bool dropBeyondLimit = false;
};

struct TrimmedBlock {
    int x = 0, y = 0;
    int64_t statics = 0;  // before the trim
};

struct CompactResult {
    uint64_t bytesBefore = 0, bytesAfter = 0;
    std::vector<TrimmedBlock> trimmed;
};

inline constexpr const char* CompactRefusedMessage =
    "The static index or statics are damaged (see the report); compact does not repair them. Nothing was changed.";

// Thrown when the index and statics have faults compact would carry over or hide; the
// report says which.
class CompactRefused : public Error {
public:
    CompactRefused(CheckReport report, const std::string& path) : Error(CompactRefusedMessage, path), report(std::move(report)) {}
    CheckReport report;
};

// Blocks are written column by column, each block's records in their order, its Extra kept;
// empty blocks become Start -1, Length -1, Extra 0. Logs what it trimmed, then
// "Compacted <statics>: N bytes before, M after". The lock is taken here.
CompactResult CompactStatics(const CompactOptions& options, const Progress& progress = {}, const LogSink& log = {});

} // namespace tq
