// The folder-save reader, and a freeze and a melt on a folder save whose region files are
// any text, on a small world held in memory. The input is two region files, split at its
// first NUL byte; byte 0 odd chooses the rule "auto".
//
// Promises checked beyond "no crash, no undefined behaviour":
// - the reader takes any text: its records lie in order inside the text, apart;
// - a refused freeze or melt changes no file and leaves the window's index as it was;
// - a freeze that succeeds only takes [ITEM] records out: each region file keeps every other
//   record and every other byte in order, the statics grow by the records taken, the index
//   fits the statics, and no temporary or journal is left;
// - a melt writes its records into the region file of the block with serials above every
//   serial of the folder.
#include "core/error.h"
#include "support/fuzz_check.h"
#include "support/memory_file_system.h"
#include "support/small_world.h"
#include "worldsave/folder_save.h"
#include "worldsave/folder_save_text.h"
#include "worldsave/freeze.h"
#include "worldsave/melt.h"

#include <cstdint>
#include <string>
#include <string_view>

using namespace tq;

namespace {

const std::string Staidx = "/w/staidx0.mul";
const std::string Statics = "/w/statics0.mul";
const std::string AutoSelect = "/w/AutoSelect.txt";
// A fixed file names the folder (so a first file of any text still belongs to a folder save)
// and is where the melt of block (0, 0) goes.
const std::string Named = "/w/shared/0.0.wsc";
const std::string NamedText = "// region 0.0\n\n[CHARACTER]\nSerial=0x00000001\no---o\n\n";
const std::string FileA = "/w/shared/1.0.wsc";
const std::string FileB = "/w/shared/overflow.wsc";

fuzz::MemoryFileSystem& memoryFs() {
    static fuzz::MemoryFileSystem fs;
    return fs;
}

void installWorld(const std::string& a, const std::string& b) {
    const auto& w = fuzz::SmallWorld::get();
    auto& fs = memoryFs();
    fs.clear();
    fs.putCopy(Staidx, w.indexNode);
    fs.putCopy(Statics, w.staticsNode);
    fs.put(AutoSelect, "0E ED\r\n00 05\r\n");
    fs.put(Named, NamedText);
    fs.put(FileA, a);
    fs.put(FileB, b);
}

void requireSound(std::string_view text, const wsc::Text& parsed) {
    size_t at = 0;
    for (const wsc::Record& r : parsed.records) {
        TQ_FUZZ_REQUIRE(r.begin >= at && r.begin < r.end && r.end <= text.size());
        at = r.end;
    }
}

int64_t countKind(const wsc::Text& t, bool items) {
    int64_t n = 0;
    for (const wsc::Record& r : t.records) n += (r.closed && r.isKind("ITEM")) == items;
    return n;
}

// `shorter` is `longer` with some bytes taken out.
bool isSubsequence(std::string_view shorter, std::string_view longer) {
    size_t i = 0;
    for (size_t j = 0; j < longer.size() && i < shorter.size(); ++j)
        if (longer[j] == shorter[i]) ++i;
    return i == shorter.size();
}

int64_t staticsCount(const StaticIndexBuffer& index) {
    int64_t n = 0;
    for (const TStaticIndexRec& e : index.entries)
        if (e.Start != -1) n += e.Length / StaticRecSize;
    return n;
}

uint32_t highestSerial(const std::vector<std::string>& texts) {
    uint32_t highest = 0;
    for (const std::string& t : texts)
        for (const wsc::Record& r : wsc::parseText(t).records)
            if (r.serial)
                if (auto s = wsc::parseNumber(r.serial->text); s && *s != wsc::InvalidSerial && *s > highest)
                    highest = *s;
    return highest;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const size_t cut = input.find('\0');
    const std::string a = input.substr(0, cut), b = cut == std::string::npos ? std::string() : input.substr(cut + 1);
    const SelectionRule rule = (size > 0 && (data[0] & 1)) ? SelectionRule::Auto : SelectionRule::Type255;
    const wsc::Text pa = wsc::parseText(a), pb = wsc::parseText(b);
    requireSound(a, pa);
    requireSound(b, pb);

    const auto& base = fuzz::SmallWorld::get();
    auto& fs = memoryFs();
    struct Clear {
        ~Clear() { memoryFs().clear(); }
    } clear;
    installWorld(a, b);
    ScopedFileSystem guard(fs);
    const size_t files = fs.names().size();
    auto index = newStaticIndex();
    *index = *base.index;
    FreezeOptions o;
    o.staidxPath = Staidx;
    o.staticsPath = Statics;
    o.worldSavePath = Named;
    o.rule = rule;
    o.autoSelectPath = AutoSelect;
    try {
        FreezeWorld(o, *index, {}, {});
    } catch (const Error&) {
        TQ_FUZZ_REQUIRE(fs.get(FileA) == a && fs.get(FileB) == b && fs.get(Named) == NamedText);
        TQ_FUZZ_REQUIRE(fuzz::sameBytes(*fs.node(Statics), base.staticsNode));
        TQ_FUZZ_REQUIRE(fuzz::sameBytes(*fs.node(Staidx), base.indexNode));
        TQ_FUZZ_REQUIRE(index->entries == base.index->entries);
        TQ_FUZZ_REQUIRE(fs.names().size() == files);
        return 0;
    }
    TQ_FUZZ_REQUIRE(fs.names().size() == files);
    TQ_FUZZ_REQUIRE(fs.get(Named) == NamedText);
    const std::string statics = fs.get(Statics);
    TQ_FUZZ_REQUIRE(fuzz::indexFitsStatics(*index, statics.size()));
    TQ_FUZZ_REQUIRE(statics.compare(0, base.statics.size(), base.statics) == 0);
    int64_t taken = 0;
    for (const auto& [path, old, parsedOld] : {std::tuple{FileA, a, pa}, std::tuple{FileB, b, pb}}) {
        const std::string now = fs.get(path);
        const wsc::Text parsedNow = wsc::parseText(now);
        requireSound(now, parsedNow);
        TQ_FUZZ_REQUIRE(isSubsequence(now, old));
        TQ_FUZZ_REQUIRE(countKind(parsedNow, false) == countKind(parsedOld, false));
        taken += countKind(parsedOld, true) - countKind(parsedNow, true);
    }
    TQ_FUZZ_REQUIRE(staticsCount(*index) == staticsCount(*base.index) + taken);

    // Melt block (0, 0), which holds statics in the small world, into 0.0.wsc.
    const std::vector<std::string> before = {fs.get(Named), fs.get(FileA), fs.get(FileB)};
    const TStaticIndexRec entry = index->at(0, 0);
    MeltOptions m;
    m.staidxPath = Staidx;
    m.staticsPath = Statics;
    m.worldSavePath = Named;
    try {
        MeltBlock(m, 0, 0, *index, {}, {});
    } catch (const Error&) {
        TQ_FUZZ_REQUIRE(fs.get(Named) == before[0] && fs.get(FileA) == before[1] && fs.get(FileB) == before[2]);
        TQ_FUZZ_REQUIRE(index->at(0, 0) == entry);
        return 0;
    }
    TQ_FUZZ_REQUIRE(fs.get(FileA) == before[1] && fs.get(FileB) == before[2]);
    const std::string melted = fs.get(Named);
    TQ_FUZZ_REQUIRE(melted.compare(0, before[0].size(), before[0]) == 0);
    const uint32_t highest = highestSerial(before);
    const wsc::Text added = wsc::parseText(std::string_view(melted).substr(before[0].size()));
    TQ_FUZZ_REQUIRE(int64_t(added.records.size()) == entry.Length / StaticRecSize);
    for (const wsc::Record& r : added.records) {
        const uint32_t s = *wsc::parseNumber(r.serial->text);
        TQ_FUZZ_REQUIRE(s > highest && s >= wsc::FirstItemSerial);
    }
    return 0;
}
