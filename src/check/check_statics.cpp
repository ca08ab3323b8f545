#include "check/check_statics.h"

#include "core/crowded_block.h"
#include "core/error.h"
#include "core/facets.h"
#include "core/file_system.h"
#include "core/static_index.h"
#include "diff/buffered_io.h"

#include <algorithm>
#include <memory>
#include <vector>

namespace tq {

namespace {

// A run of an entry that passed the entry checks: bytes [start, end) of the statics file.
// Start and Length are below 2^31, so end fits in 32 bits.
struct Run {
    uint32_t start, end;
    int32_t block;
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

class IndexChecker {
public:
    IndexChecker(const std::string& indexPath, const WorldGeometry& world, const std::optional<std::string>& staticsPath,
                 CheckReport& report)
        : indexPath_(indexPath), world_(world), staticsPath_(staticsPath), report_(report),
          staticsName_(staticsPath ? nameOf(*staticsPath) : std::string("the statics file")),
          staticsSize_(staticsPath ? fileSystem().fileSize(*staticsPath) : UINT64_MAX) {}

    // The entry checks, each entry's finding in block order; then the runs that share bytes;
    // then the records of every run, in file order. An index that lists its runs in file order
    // (as this program writes them) is judged in one walk, the statics read alongside; any
    // other has its runs gathered and sorted first, and walked again.
    // `each(visit)` calls visit(block, entry) for every entry in block order, as often as asked.
    template <class EachEntry> void check(const EachEntry& each, int blocks, const Progress& progress) {
        std::unique_ptr<File> statics;
        std::optional<WindowedReader> reader;
        if (staticsPath_) {
            statics = openFile(*staticsPath_, OpenMode::Read);
            reader.emplace(*statics, size_t(64) << 10);
        }
        CheckReport overlaps, outside;
        std::vector<uint8_t> bytes;
        each([&](int n, const TStaticIndexRec& e) {
            if ((n & 0xFFFF) == 0xFFFF) {
                progress.report(int(int64_t(n) * 100 / std::max(blocks, 1)));
                progress.pumpEvents();
            }
            const std::optional<Run> run = judge(n, e, true);
            if (!run || !inOrder_) return;
            if (run->start < lastStart_) {
                inOrder_ = false;
                return;
            }
            lastStart_ = run->start;
            overlap(*run, overlaps);
            if (reader) records(*run, *reader, bytes, outside);
        });
        if (inOrder_) {
            report_.append(overlaps);
            report_.append(outside);
        } else {
            reach_ = covered_ = 0;
            reachBlock_ = -1;
            each([&](int n, const TStaticIndexRec& e) {
                if (const std::optional<Run> run = judge(n, e, false)) runs_.push_back(*run);
            });
            std::sort(runs_.begin(), runs_.end(), [](const Run& a, const Run& b) {
                return a.start != b.start ? a.start < b.start : a.block < b.block;
            });
            for (const Run& r : runs_) overlap(r, report_);
            if (reader)
                for (const Run& r : runs_) records(r, *reader, bytes, report_);
        }
        if (!staticsPath_) {
            report_.note(indexPath_, "no statics file beside it: its runs were not checked against one");
        } else if (covered_ < staticsSize_) {
            // Every append leaves the old run behind: dead bytes cost space, not correctness.
            report_.note(*staticsPath_, groupedNumber(staticsSize_ - covered_) + " of its " + groupedNumber(staticsSize_) +
                                            " bytes (" + share(staticsSize_ - covered_, staticsSize_) +
                                            ") are not referenced by any index entry; compact gives them back");
        }
        progress.report(100);
    }

private:
    void add(Severity s, const char* kind, int block, const std::string& what, CheckReport& to) {
        to.add({s, indexPath_, kind, blockWhere(world_, block), what});
    }

    // The entry's run when it has one that can be read; its faults reported when `say`.
    // Inline for the sound entries (hundreds of thousands in a world).
    std::optional<Run> judge(int n, const TStaticIndexRec& e, bool say) {
        if (e.Start == -1) return std::nullopt;
        if (e.Start >= 0 && e.Length > 0 && e.Length % StaticRecSize == 0 &&
            uint64_t(e.Start) + uint64_t(e.Length) <= staticsSize_ && e.Length / StaticRecSize <= ClientStaticsPerBlock)
            return Run{uint32_t(e.Start), uint32_t(uint64_t(e.Start) + uint64_t(e.Length)), n};
        return judgeFault(n, e, say);
    }

    // judge() of the entries that are not plainly sound: empty, or with a fault to report.
#if defined(__GNUC__)
    [[gnu::noinline]]
#endif
    std::optional<Run> judgeFault(int n, const TStaticIndexRec& e, bool say) {
        if (e.Start < 0 || e.Length < 0) {
            if (say)
                add(Severity::Error, KindNegativeEntry, n,
                    "its Start " + std::to_string(e.Start) + " or Length " + std::to_string(e.Length) + " is negative",
                    report_);
            return std::nullopt;
        }
        if (e.Length % StaticRecSize != 0) {
            if (say)
                add(Severity::Error, KindLengthNotMultiple, n,
                    "its Length " + std::to_string(e.Length) + " is not a multiple of " + std::to_string(StaticRecSize),
                    report_);
            return std::nullopt;
        }
        if (e.Length == 0) return std::nullopt;
        const uint64_t start = uint64_t(e.Start), end = start + uint64_t(e.Length);
        if (end > staticsSize_) {
            if (say)
                add(Severity::Error, KindRunPastEnd, n,
                    "its run (" + bytesText(start, end) + ") ends past the end of " + staticsName_ + " (" +
                        groupedNumber(staticsSize_) + " bytes)",
                    report_);
            return std::nullopt;
        }
        if (say) {
            const int64_t records = e.Length / StaticRecSize;
            if (records > StaticBlockCapacity)
                add(Severity::Error, KindOverProgramLimit, n,
                    "it holds " + groupedNumber(uint64_t(records)) + " statics; this program handles at most " +
                        std::to_string(StaticBlockCapacity) + " per block",
                    report_);
            else if (records > ClientStaticsPerBlock)
                add(Severity::Warning, KindOverClientLimit, n,
                    "it holds " + groupedNumber(uint64_t(records)) + " statics; the game client shows only the first " +
                        std::to_string(ClientStaticsPerBlock),
                    report_);
        }
        return Run{uint32_t(start), uint32_t(end), n};
    }

    // Runs sharing bytes: each run against the one reaching furthest before it.
    void overlap(const Run& r, CheckReport& to) {
        if (r.start < reach_)
            add(Severity::Error, KindOverlap, r.block,
                "its run (" + bytesText(r.start, r.end) + ") overlaps that of " + blockWhere(world_, reachBlock_), to);
        if (r.end > reach_) {
            covered_ += r.end - std::max<uint64_t>(r.start, reach_);
            reach_ = r.end;
            reachBlock_ = r.block;
        }
    }

    // The records of a run: each must lie inside its block (X and Y 0..7).
    void records(const Run& r, WindowedReader& reader, std::vector<uint8_t>& bytes, CheckReport& to) {
        bytes.resize(size_t(r.end - r.start));
        reader.read(r.start, bytes.data(), bytes.size());
        int outside = 0;
        size_t first = 0;
        for (size_t i = 0; i < bytes.size(); i += StaticRecSize) {
            if ((bytes[i + 2] | bytes[i + 3]) < BlockSize) continue;
            if (outside++ == 0) first = i;
        }
        if (!outside) return;
        TStaticRec rec;
        decodeStaticRec(bytes.data() + first, rec);
        add(Severity::Error, KindStaticOutsideBlock, r.block,
            std::to_string(outside) + (outside == 1 ? " of its statics lies" : " of its statics lie") +
                " outside the block (the first: record " + std::to_string(first / StaticRecSize + 1) + " at X " +
                std::to_string(rec.X) + ", Y " + std::to_string(rec.Y) + "; both must be 0..7)",
            to);
    }

    const std::string& indexPath_;
    const WorldGeometry world_;
    const std::optional<std::string>& staticsPath_;
    CheckReport& report_;
    const std::string staticsName_;
    const uint64_t staticsSize_;
    bool inOrder_ = true;
    uint32_t lastStart_ = 0;
    uint64_t reach_ = 0, covered_ = 0;
    int reachBlock_ = -1;
    std::vector<Run> runs_;
};

} // namespace

void CheckStaticIndex(const std::string& indexPath, const StaticIndexBuffer& index,
                      const std::optional<std::string>& staticsPath, CheckReport& report, const Progress& progress) {
    IndexChecker checker(indexPath, index.world(), staticsPath, report);
    const auto each = [&index](const auto& visit) {
        for (int n = 0; n < index.world().blockCount(); ++n) visit(n, index.entries[size_t(n)]);
    };
    checker.check(each, index.world().blockCount(), progress);
}

uint32_t CheckStaticIndexFile(const std::string& indexPath, const WorldGeometry& world,
                              const std::optional<std::string>& staticsPath, CheckReport& report,
                              const Progress& progress) {
    IndexChecker checker(indexPath, world, staticsPath, report);
    uint32_t crc = 0;
    bool first = true;
    // The index read a piece at a time, each time it is walked: it need not be held whole.
    const auto each = [&](const auto& visit) {
        auto file = openFile(indexPath, OpenMode::Read);
        if (file->size() != world.staticIndexBytes()) throw Error(msg::ReadBeyondEnd, indexPath);  // changed under us
        constexpr int Piece = 4096;
        std::vector<uint8_t> bytes(size_t(Piece) * StaticIndexRecSize);
        for (int n = 0; n < world.blockCount(); n += Piece) {
            const int count = std::min(Piece, world.blockCount() - n);
            file->read(bytes.data(), size_t(count) * StaticIndexRecSize);
            for (int i = 0; i < count; ++i) {
                TStaticIndexRec e;
                decodeIndexRec(bytes.data() + size_t(i) * StaticIndexRecSize, e);
                if (first) crc ^= uint32_t(e.Start) ^ uint32_t(e.Length) ^ uint32_t(e.Extra);
                visit(n + i, e);
            }
        }
        first = false;
    };
    checker.check(each, world.blockCount(), progress);
    return crc;
}

} // namespace tq
