// The world-save reader and a whole freeze (selection, extraction, patch writing) over
// any text, on a small world held in memory.
//
// Promises checked beyond "no crash, no undefined behaviour":
// - a bad number is the only way the reader refuses a text (ConvertError);
// - a refused freeze changes no file and leaves the window's index as it was;
// - a freeze that succeeds leaves an index that fits the statics, a world-save the reader
//   still reads, and a patch file that, frozen by a player into the same original world,
//   gives every block exactly the records the operator's freeze gave it.
#include "core/error.h"
#include "support/classic_world.h"
#include "core/file_system.h"
#include "support/fuzz_check.h"
#include "support/memory_file_system.h"
#include "support/small_world.h"
#include "tools/reference_passes.h"
#include "worldsave/freeze.h"
#include "worldsave/world_save_reader.h"

#include <cstdint>
#include <string>
#include <string_view>

using namespace tq;

namespace {

const std::string Staidx = "/w/staidx0.mul";
const std::string Statics = "/w/statics0.mul";
const std::string Wsc = "/w/items.wsc";
const std::string Pat = "/w/out.pat";
const std::string AutoSelect = "/w/AutoSelect.txt";
const std::string OldPat = "SECTION WORLDITEM 40\r\n{\r\nSERIAL 1073741900\r\nID 5\r\nX 1\r\nY 1\r\nTYPE 0\r\n}\r\nEOF\r\n";

fuzz::MemoryFileSystem& memoryFs() {
    static fuzz::MemoryFileSystem fs;
    return fs;
}

void installWorld(const std::string& worldSave) {
    const auto& w = fuzz::SmallWorld::get();
    auto& fs = memoryFs();
    fs.clear();
    fs.putCopy(Staidx, w.indexNode);
    fs.putCopy(Statics, w.staticsNode);
    fs.put(Wsc, worldSave);
    fs.put(Pat, OldPat);
    fs.put(AutoSelect, "0E ED\r\n00 05\r\n# comment\r\n01 00\r\n");
}

bool anySelected(const SelectionTable& t) {
    for (const auto& e : t.entries)
        if (e.Selected) return true;
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const SelectionRule rule = (size > 0 && (data[0] & 1)) ? SelectionRule::Auto : SelectionRule::Type255;

    // The reader alone.
    auto table = newSelectionTable();
    AutoSelectIds ids;
    ids.set(0x0EED);
    ids.set(5);
    bool selects = false;
    try {
        SelectWorldItems(std::string_view(text), *table, rule, ids, {});
        selects = anySelected(*table);
    } catch (const ConvertError&) {
    }
    bool numbersRead = true;
    try {
        ScanHighestNumbers(text);
    } catch (const ConvertError&) {
        numbersRead = false;
    }
    // A text without a selected item only rewrites the index: nothing more to learn.
    if (!selects) return 0;

    // The operator's freeze, with a patch file that already holds an item.
    const auto& base = fuzz::SmallWorld::get();
    auto& fs = memoryFs();
    struct Clear {
        ~Clear() { memoryFs().clear(); }  // every input frees what it took
    } clear;
    installWorld(text);
    ScopedFileSystem guard(fs);
    auto index = newStaticIndex();
    *index = *base.index;
    FreezeOptions o;
    o.staidxPath = Staidx;
    o.staticsPath = Statics;
    o.worldSavePath = Wsc;
    o.rule = rule;
    o.writePat = true;
    o.patPath = Pat;
    o.autoSelectPath = AutoSelect;
    try {
        FreezeWorld(o, *index, {}, {});
    } catch (const Error&) {
        // Refused: every check comes before the first write.
        TQ_FUZZ_REQUIRE(fs.get(Wsc) == text);
        TQ_FUZZ_REQUIRE(fs.get(Pat) == OldPat);
        TQ_FUZZ_REQUIRE(fuzz::sameBytes(*fs.node(Statics), base.staticsNode));
        TQ_FUZZ_REQUIRE(fuzz::sameBytes(*fs.node(Staidx), base.indexNode));
        TQ_FUZZ_REQUIRE(index->entries == base.index->entries);
        TQ_FUZZ_REQUIRE(fs.names().size() == 5);  // no temporary file left
        return 0;
    }

    const std::string statics = fs.get(Statics);
    const std::string newWsc = fs.get(Wsc);
    const std::string newPat = fs.get(Pat);
    TQ_FUZZ_REQUIRE(fs.names().size() == 5);
    TQ_FUZZ_REQUIRE(fuzz::sameBytes(*fs.node(Staidx), fuzz::nodeOf(fuzz::encodeIndex(*index))));
    TQ_FUZZ_REQUIRE(fuzz::indexFitsStatics(*index, statics.size()));
    TQ_FUZZ_REQUIRE(statics.compare(0, base.statics.size(), base.statics) == 0);  // statics only grow
    try {
        SelectWorldItems(std::string_view(newWsc), *table, rule, ids, {});
        if (numbersRead) ScanHighestNumbers(newWsc);
        ScanHighestNumbers(newPat);
    } catch (const ConvertError&) {
        TQ_FUZZ_REQUIRE(!"a rewritten text no longer reads");
    }

    // The player's freeze of that patch file into the same original world.
    installWorld(newPat);
    auto player = newStaticIndex();
    *player = *base.index;
    FreezeOptions p = o;
    p.rule = SelectionRule::Type255;
    p.writePat = false;
    try {
        FreezeWorld(p, *player, {}, {});
    } catch (const Error& e) {
        std::fprintf(stderr, "player's freeze refused: %s\n", e.what());
        TQ_FUZZ_REQUIRE(!"the patch file a freeze wrote cannot be frozen");
    }
    const std::string playerStatics = fs.get(Statics);
    for (int x = 0; x < BlocksX; ++x)
        for (int y = 0; y < BlocksY; ++y) {
            const TStaticIndexRec& a = index->at(x, y);
            const TStaticIndexRec& b = player->at(x, y);
            if (a == base.index->at(x, y) && b == base.index->at(x, y)) continue;
            TQ_FUZZ_REQUIRE(fuzz::blockRecords(statics, a) == fuzz::blockRecords(playerStatics, b));
        }
    return 0;
}
