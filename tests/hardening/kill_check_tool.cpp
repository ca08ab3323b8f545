// The kill test's helper: checks the files a killed operation left.
// It reads through the core's own formats but shares no code path with the operations
// under test beyond the record codecs.
//
//   kill_check_tool statics-block STAIDX         prints the first block that holds records
//   kill_check_tool check-index STAIDX STATICS   4,718,592 bytes, every run inside statics
//   kill_check_tool check-text FILE              a world-save the reader reads
//   kill_check_tool same-statics IDX STA IDX STA every block the same records, Extra, emptiness
//   kill_check_tool map-old-or-new MAP OLD NEW   the same size, every byte the old or the new one
//   kill_check_tool blocks-old-or-new IDX STA OLD_IDX OLD_STA NEW_IDX NEW_STA
//   kill_check_tool kill-at-rename N freeze IDX STA WSC PAT
//   kill_check_tool kill-at-rename N melt IDX STA WSC X Y
//   kill_check_tool kill-at-rename N apply O_IDX O_STA O_MAP M_IDX M_STA M_MAP PACKAGE
//   kill_check_tool kill-at-rename N compact IDX STA
//       runs the operation as the command line does and kills itself with SIGKILL just
//       before its Nth rename (exit status 3 when it finished with fewer renames), so every
//       moment between two renames is met, not only the ones random kills happen to hit.
// Exit status 0: fine; 1: the promise is broken (the reason on stderr); 2: usage.
#include "check/compact.h"
#include "core/error.h"
#include "support/classic_world.h"
#include "support/forwarding_file_system.h"
#include "core/file_system.h"
#include "core/static_index.h"
#include "tools/reference_passes.h"
#include "core/world_lock.h"
#include "diff/diff.h"
#include "worldsave/freeze.h"
#include "worldsave/melt.h"
#include "worldsave/world_save_reader.h"

#include <csignal>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

using namespace tq;

namespace {

[[noreturn]] void broken(const std::string& why) {
    std::fprintf(stderr, "kill_check_tool: %s\n", why.c_str());
    std::exit(1);
}

struct Loaded {
    std::unique_ptr<StaticIndexBuffer> index = newStaticIndex();
    std::string statics;
    Loaded(const std::string& staidx, const std::string& staticsPath) {
        LoadStaticIndex(staidx, *index);
        statics = readWholeFile(staticsPath);
    }
    // The block's records as raw bytes; "" for an empty block.
    std::string run(int x, int y) const {
        const TStaticIndexRec& e = index->at(x, y);
        if (e.Start == -1) return "";
        if (e.Start < 0 || e.Length < 0 || uint64_t(e.Start) + uint64_t(e.Length) > statics.size())
            broken("block (" + std::to_string(x) + ", " + std::to_string(y) + ") points outside statics0.mul");
        return statics.substr(size_t(e.Start), size_t(e.Length));
    }
};

// The first block, x-major, that holds records (for the melt).
int staticsBlock(const std::string& staidx) {
    auto index = newStaticIndex();
    LoadStaticIndex(staidx, *index);
    for (int x = 0; x < BlocksX; ++x)
        for (int y = 0; y < BlocksY; ++y)
            if (index->at(x, y).Start != -1 && index->at(x, y).Length > 0) {
                std::printf("%d %d\n", x, y);
                return 0;
            }
    broken("no block holds statics");
}

int checkIndex(const std::string& staidx, const std::string& statics) {
    if (!fileExists(staidx)) broken("staidx0.mul is missing");
    const uint64_t size = fileSystem().fileSize(staidx);
    if (size != StaticIndexFileSize) broken("staidx0.mul is " + std::to_string(size) + " bytes");
    const Loaded w(staidx, statics);
    for (int x = 0; x < BlocksX; ++x)
        for (int y = 0; y < BlocksY; ++y) {
            const TStaticIndexRec& e = w.index->at(x, y);
            if (e.Start != -1 && e.Length % StaticRecSize != 0)
                broken("block (" + std::to_string(x) + ", " + std::to_string(y) + ") has length " +
                       std::to_string(e.Length));
            w.run(x, y);
        }
    return 0;
}

int checkText(const std::string& path) {
    const std::string text = readWholeFile(path);
    auto table = newSelectionTable();
    try {
        SelectWorldItems(std::string_view(text), *table, SelectionRule::Type255, AutoSelectIds{}, {});
        ScanHighestNumbers(text);
    } catch (const Error& e) {
        broken(path + " does not read: " + e.what());
    }
    return 0;
}

int sameStatics(const std::string& ia, const std::string& sa, const std::string& ib, const std::string& sb) {
    const Loaded a(ia, sa), b(ib, sb);
    for (int x = 0; x < BlocksX; ++x)
        for (int y = 0; y < BlocksY; ++y) {
            const TStaticIndexRec& ea = a.index->at(x, y);
            const TStaticIndexRec& eb = b.index->at(x, y);
            if (ea.empty() != eb.empty() || ea.Extra != eb.Extra || a.run(x, y) != b.run(x, y))
                broken("block (" + std::to_string(x) + ", " + std::to_string(y) + ") differs");
        }
    return 0;
}

// The map is written in place, so a kill can cut a write at a page boundary and leave one
// cell half old, half new (running the operation again mends it). What must never appear is
// a byte that is neither: a write to the wrong place or of the wrong data.
int mapOldOrNew(const std::string& map, const std::string& oldMap, const std::string& newMap) {
    const std::string now = readWholeFile(map), before = readWholeFile(oldMap), after = readWholeFile(newMap);
    if (now.size() != before.size()) broken("the map is " + std::to_string(now.size()) + " bytes");
    for (size_t at = 0; at < now.size(); ++at)
        if (now[at] != before[at] && now[at] != after[at])
            broken("map byte " + std::to_string(at) + " is neither old nor new");
    return 0;
}

int blocksOldOrNew(char** p) {
    const Loaded now(p[0], p[1]), before(p[2], p[3]), after(p[4], p[5]);
    for (int x = 0; x < BlocksX; ++x)
        for (int y = 0; y < BlocksY; ++y) {
            const std::string r = now.run(x, y);
            if (r != before.run(x, y) && r != after.run(x, y))
                broken("block (" + std::to_string(x) + ", " + std::to_string(y) + ") is neither old nor new");
        }
    return 0;
}

// The real file system, but the Nth rename never happens: the process dies just before it.
class KillingFileSystem final : public test::ForwardingFileSystem {
public:
    explicit KillingFileSystem(int killAt) : killAt_(killAt) {}
    void rename(const std::string& from, const std::string& to) override {
        if (++renames_ == killAt_) std::raise(SIGKILL);
        base_.rename(from, to);
    }

private:
    int killAt_;
    int renames_ = 0;
};

int killAtRename(int argc, char** argv) {
    const int n = std::atoi(argv[2]);
    const std::string op = argv[3];
    KillingFileSystem killing(n);
    ScopedFileSystem scoped(killing);
    auto index = newStaticIndex();
    if (op == "freeze" && argc == 8) {
        FreezeOptions o;
        o.staidxPath = argv[4], o.staticsPath = argv[5], o.worldSavePath = argv[6];
        o.writePat = true, o.patPath = argv[7];
        const WorldLock lock({o.staidxPath}, "freeze", {o.staticsPath, o.worldSavePath, o.patPath});
        LoadStaticIndex(o.staidxPath, *index);
        FreezeWorld(o, *index, {}, {});
    } else if (op == "melt" && argc == 9) {
        MeltOptions o;
        o.staidxPath = argv[4], o.staticsPath = argv[5], o.worldSavePath = argv[6];
        const WorldLock lock({o.staidxPath}, "melt", {o.worldSavePath});
        LoadStaticIndex(o.staidxPath, *index);
        MeltBlock(o, std::atoi(argv[7]), std::atoi(argv[8]), *index, {}, {});
    } else if (op == "apply" && argc == 11) {
        ApplyDiff({argv[4], argv[5], argv[6], argv[7], argv[8], argv[9]}, argv[10]);
    } else if (op == "compact" && argc == 6) {
        CompactStatics({argv[4], argv[5], {}, false});
    } else {
        std::fprintf(stderr, "usage: see the comment at the top of kill_check_tool.cpp\n");
        return 2;
    }
    return 3;
}

} // namespace

int main(int argc, char** argv) {
    const std::string cmd = argc > 1 ? argv[1] : "";
    try {
        if (cmd == "statics-block" && argc == 3) return staticsBlock(argv[2]);
        if (cmd == "check-index" && argc == 4) return checkIndex(argv[2], argv[3]);
        if (cmd == "check-text" && argc == 3) return checkText(argv[2]);
        if (cmd == "same-statics" && argc == 6) return sameStatics(argv[2], argv[3], argv[4], argv[5]);
        if (cmd == "map-old-or-new" && argc == 5) return mapOldOrNew(argv[2], argv[3], argv[4]);
        if (cmd == "blocks-old-or-new" && argc == 8) return blocksOldOrNew(argv + 2);
        if (cmd == "kill-at-rename" && argc > 3) return killAtRename(argc, argv);
    } catch (const std::exception& e) {
        broken(cmd + ": " + e.what());
    }
    std::fprintf(stderr, "usage: see the comment at the top of kill_check_tool.cpp\n");
    return 2;
}
