// Freeze and melt read the world-save in chunks. These tests hold the chunked reading to the
// text held whole: lines and bytes across every chunk boundary, and freeze and melt of a
// world-save several chunks long against the passes over the whole text.
#include "core/atomic_file.h"
#include "core/error.h"
#include "core/file_system.h"
#include "support/error_of.h"
#include "support/temp_dir.h"
#include "tools/synthetic_world.h"
#include "world_fixture.h"
#include "worldsave/extraction.h"
#include "worldsave/freeze.h"
#include "worldsave/melt.h"
#include "worldsave/patch_text.h"
#include "worldsave/patch_writer.h"
#include "worldsave/world_save_text.h"

#include <gtest/gtest.h>

#include <random>

namespace tq {
namespace {

using test::readBytes;
using test::TempDir;
using test::writeBytes;

struct SeenLine {
    std::string text;
    size_t begin, end;
    bool crlf;
    bool operator==(const SeenLine&) const = default;
};

std::vector<SeenLine> wholeLines(std::string_view text) {
    std::vector<SeenLine> out;
    wstext::LineReader reader(text);
    wstext::Line l;
    while (reader.next(l)) out.push_back({std::string(l.text), l.begin, l.end, l.crlf});
    return out;
}

TEST(ChunkedLineReader, GivesTheLinesOfTheWholeTextAtEveryChunkSize) {
    const std::string longLine(100, 'x');
    const std::vector<std::string> texts = {
        "",
        "a",
        "a\n",
        "a\r\n",
        "\n\n\r\n",
        "one\r\ntwo\nthree\r\n\r\nlast without an ending",
        "cr\ralone\r\nand\r",            // a CR not before LF stays in the text
        longLine + "\r\n" + longLine,    // lines longer than the chunk
        "SECTION WORLDITEM 1\r\n{\r\nNAME Stein\xe4\r\n}\r\n",
    };
    TempDir dir;
    for (const std::string& text : texts)
        for (size_t chunk : {1, 2, 3, 5, 8, 64, 4096}) {
            SCOPED_TRACE("chunk " + std::to_string(chunk) + " text '" + text + "'");
            const std::string path = dir.file("t.wsc");
            writeBytes(path, text);
            auto file = openFile(path, OpenMode::Read);
            wstext::ChunkedLineReader reader(*file, chunk);
            for (int pass = 0; pass < 2; ++pass) {  // and again after a rewind
                reader.rewind();
                std::vector<SeenLine> seen;
                wstext::Line l;
                while (reader.next(l)) seen.push_back({std::string(l.text), l.begin, l.end, l.crlf});
                EXPECT_EQ(seen, wholeLines(text));
            }
        }
}

TEST(ChunkedLineReader, CopiesAndSkipsBytesBetweenLines) {
    const std::string text = "head\r\nkeep 1\r\nkeep 2\r\nskip\r\ntail\r\n";
    TempDir dir;
    writeBytes(dir.file("t.wsc"), text);
    for (size_t chunk : {1, 4, 7, 64}) {
        SCOPED_TRACE("chunk " + std::to_string(chunk));
        auto file = openFile(dir.file("t.wsc"), OpenMode::Read);
        wstext::ChunkedLineReader reader(*file, chunk);
        std::string copied;
        const auto sink = [&](const char* d, size_t n) { copied.append(d, n); };
        wstext::Line l;
        ASSERT_TRUE(reader.next(l));
        EXPECT_EQ(l.text, "head");
        reader.copyTo(text.find("skip"), sink);
        EXPECT_EQ(copied, "keep 1\r\nkeep 2\r\n");
        reader.skipTo(text.find("tail"));
        ASSERT_TRUE(reader.next(l));
        EXPECT_EQ(l.text, "tail");
        EXPECT_EQ(reader.position(), text.size());
        reader.copyTo(UINT64_MAX, sink);  // to the end: nothing left
        EXPECT_EQ(copied, "keep 1\r\nkeep 2\r\n");
        // A file that ends before the offset asked for (it shrank between two passes).
        EXPECT_EQ(test::errorOf([&] { reader.copyTo(text.size() + 1, sink); }), "Read beyond end of file");
    }
}

// Both line readers find line ends 64 bytes at a time; long texts of short lines put line
// ends, CRs and chunk ends on every side of those 64-byte steps, also after a copy or a skip
// has moved the reader on.
TEST(LineReaders, GiveEveryLineOfLongTextsAlsoAfterCopiesAndSkips) {
    std::mt19937 rng(20261212);
    auto pick = [&](int n) { return int(rng() % unsigned(n)); };
    TempDir dir;
    for (int round = 0; round < 30; ++round) {
        std::string text;
        for (int i = 0, lines = 50 + pick(400); i < lines; ++i) {
            text += std::string(size_t(pick(3) ? pick(12) : pick(150)), char('a' + pick(26)));
            if (pick(9) == 0) text += '\r';  // a CR of its own, or one that ends the line
            text += pick(3) ? "\r\n" : "\n";
        }
        if (round % 3 == 0) text += "the last line without an ending";
        // The lines as a plain search for LF finds them.
        std::vector<SeenLine> expected;
        for (size_t at = 0; at < text.size();) {
            const size_t lf = text.find('\n', at);
            const size_t end = lf == std::string::npos ? text.size() : lf + 1;
            const bool crlf = lf != std::string::npos && lf > at && text[lf - 1] == '\r';
            const size_t stop = lf == std::string::npos ? end : lf - (crlf ? 1 : 0);
            expected.push_back({text.substr(at, stop - at), at, end, crlf});
            at = end;
        }
        SCOPED_TRACE("round " + std::to_string(round));
        EXPECT_EQ(wholeLines(text), expected);
        const std::string path = dir.file("t.wsc");
        writeBytes(path, text);
        for (size_t chunk : {1, 63, 64, 65, 200, 4096, 1 << 20}) {
            SCOPED_TRACE("chunk " + std::to_string(chunk));
            auto file = openFile(path, OpenMode::Read);
            wstext::ChunkedLineReader reader(*file, chunk);
            wstext::LineReader inMemory(text);
            std::vector<SeenLine> seen;
            std::string copied, wanted;
            wstext::Line l;
            for (size_t i = 0; i < expected.size();) {
                if (pick(10) == 0 && i + 3 < expected.size()) {
                    // Copy one line and skip the next, then read on, in both readers.
                    const size_t copyEnd = expected[i].end, skipEnd = expected[i + 1].end;
                    reader.copyTo(copyEnd, [&](const char* d, size_t n) { copied.append(d, n); });
                    reader.skipTo(skipEnd);
                    wanted += text.substr(expected[i].begin, copyEnd - expected[i].begin);
                    inMemory.seek(skipEnd);
                    i += 2;
                    continue;
                }
                ASSERT_TRUE(reader.next(l));
                seen.push_back({std::string(l.text), l.begin, l.end, l.crlf});
                ASSERT_EQ(seen.back(), expected[i]);
                ASSERT_TRUE(inMemory.next(l));
                ASSERT_EQ((SeenLine{std::string(l.text), l.begin, l.end, l.crlf}), expected[i]);
                ++i;
            }
            EXPECT_FALSE(reader.next(l));
            EXPECT_FALSE(inMemory.next(l));
            EXPECT_EQ(copied, wanted);
        }
    }
}

// The whole-text passes give the result freeze had before it streamed: the streamed passes
// must give the same table, the same kept text and the same items.
struct PassResult {
    std::vector<std::tuple<uint8_t, uint16_t, uint16_t>> table;
    std::string kept;
    std::vector<std::tuple<uint32_t, uint16_t, uint8_t, uint8_t, int8_t, uint16_t>> records;
    bool operator==(const PassResult&) const = default;
};

std::vector<uint32_t> targetsOf(const SelectionTable& table) {
    std::vector<uint32_t> targets(65536, detail::NoTarget);
    for (size_t n = 0; n < 65536; ++n)
        if (table[n].Selected == 1) targets[n] = uint32_t(table[n].BlockX % 3);  // a few passes
    return targets;
}

void noteRecords(const std::vector<detail::ExtractedRecord>& records, PassResult& r) {
    for (const auto& e : records)
        r.records.emplace_back(e.pass, e.rec.ItemId, e.rec.X, e.rec.Y, e.rec.Z, e.rec.Color);
}

PassResult wholeTextPasses(const std::string& text, SelectionRule rule, const AutoSelectIds& ids, TempDir& dir) {
    PassResult r;
    auto table = newSelectionTable();
    detail::TextMap map;
    detail::selectItems(text, *table, rule, ids, LogSink{}, Progress{}, &map);
    for (const TSelectionEntry& e : table->entries) r.table.emplace_back(e.Selected, e.BlockX, e.BlockY);
    std::vector<detail::ExtractedRecord> records;
    {
        auto out = openFile(dir.file("whole.wsc"), OpenMode::Create);
        wstext::TextWriter writer(*out, text);
        detail::extractItems(text, targetsOf(*table), writer, records, Progress{}, &map);
        out->close();
    }
    r.kept = readBytes(dir.file("whole.wsc"));
    noteRecords(records, r);
    return r;
}

PassResult streamedPasses(const std::string& path, size_t chunk, SelectionRule rule, const AutoSelectIds& ids,
                          TempDir& dir) {
    PassResult r;
    auto file = openFile(path, OpenMode::Read);
    wstext::ChunkedLineReader reader(*file, chunk);
    auto table = newSelectionTable();
    detail::TextMap map;
    detail::selectItems(reader, *table, rule, ids, LogSink{}, Progress{}, &map);
    for (const TSelectionEntry& e : table->entries) r.table.emplace_back(e.Selected, e.BlockX, e.BlockY);
    std::vector<detail::ExtractedRecord> records;
    {
        auto out = openFile(dir.file("streamed.wsc"), OpenMode::Create);
        wstext::StreamTextWriter writer(*out);
        detail::extractItems(reader, targetsOf(*table), writer, records, Progress{}, &map);
        out->close();
    }
    r.kept = readBytes(dir.file("streamed.wsc"));
    noteRecords(records, r);
    return r;
}

// World-saves with the damage real files carry (items never closed, stray braces, shared
// section numbers, LF lines, a last line without an ending), cut into chunks of every size.
TEST(StreamedPasses, GiveTheWholeTextResultAcrossChunkBoundaries) {
    std::mt19937 rng(20261211);
    auto pick = [&](int n) { return int(rng() % unsigned(n)); };
    AutoSelectIds ids;
    ids.set(3821);
    TempDir dir;
    for (int round = 0; round < 40; ++round) {
        std::string text;
        const bool mixed = round % 2 == 1;
        auto line = [&](const std::string& l) { text += l + (!mixed || pick(4) ? "\r\n" : "\n"); };
        for (int i = 0, items = 5 + pick(30); i < items; ++i) {
            if (pick(8) == 0) line(pick(2) ? "}" : "SECTION CHARACTER 4");
            line((pick(4) ? "SECTION WORLDITEM " : "section worlditem ") + std::to_string(pick(6) * 65536 + pick(9)));
            line("{");
            line("NAME " + std::string(pick(2) ? "#" : "a name"));
            line("ID " + std::to_string(3820 + pick(3)));
            line("X " + std::to_string(pick(40)));
            line("Y " + std::to_string(pick(40)));
            if (pick(2)) line("Z " + std::to_string(pick(200) - 100));
            if (pick(2)) line("COLOR " + std::to_string(pick(2000)));
            line("CONT " + std::string(pick(4) ? "-1" : "1073741830"));
            line("TYPE " + std::string(pick(2) ? "255" : "0"));
            if (pick(5)) line("}");
            if (pick(2)) line("");
        }
        if (mixed && pick(2)) text.pop_back();  // perhaps a last line without its LF
        const SelectionRule rule = pick(2) ? SelectionRule::Type255 : SelectionRule::Auto;
        const std::string path = dir.file("save.wsc");
        writeBytes(path, text);
        const PassResult expected = wholeTextPasses(text, rule, ids, dir);
        for (size_t chunk : {1, 2, 7, 16, 100, 1000, 1 << 20}) {
            SCOPED_TRACE("round " + std::to_string(round) + " chunk " + std::to_string(chunk) + "\n" + text);
            ASSERT_EQ(streamedPasses(path, chunk, rule, ids, dir), expected);
        }
    }
}

PassResult notedPasses(const std::string& path, size_t chunk, SelectionRule rule, const AutoSelectIds& ids,
                       TempDir& dir, bool& complete) {
    PassResult r;
    auto file = openFile(path, OpenMode::Read);
    wstext::ChunkedLineReader reader(*file, chunk);
    auto table = newSelectionTable();
    detail::ItemDigest digest;
    detail::selectItems(reader, *table, rule, ids, LogSink{}, Progress{}, digest);
    for (const TSelectionEntry& e : table->entries) r.table.emplace_back(e.Selected, e.BlockX, e.BlockY);
    complete = digest.complete;
    if (!complete) return r;
    LargeVector<detail::ExtractedRecord> records;
    detail::takenRecords(digest, targetsOf(*table), records);
    {
        auto out = openFile(dir.file("noted.wsc"), OpenMode::Create);
        wstext::StreamTextWriter writer(*out);
        detail::writeKept(reader, digest, targetsOf(*table), writer, Progress{});
        out->close();
    }
    r.kept = readBytes(dir.file("noted.wsc"));
    for (const auto& e : records) r.records.emplace_back(e.pass, e.rec.ItemId, e.rec.X, e.rec.Y, e.rec.Z, e.rec.Color);
    return r;
}

// What the scan notes of each item stands in for the second reading of its lines: the kept
// text and the taken statics are what the line-by-line extraction gives, CRLF or LF lines,
// tags in any case and order, numbers past 16 bits. An item left open, or one whose COLOR
// does not read, leaves the notes incomplete (the extraction then reads the lines).
TEST(NotedItems, GiveWhatTheLineByLineExtractionGives) {
    std::mt19937 rng(20261213);
    auto pick = [&](int n) { return int(rng() % unsigned(n)); };
    AutoSelectIds ids;
    ids.set(3821);
    TempDir dir;
    int completeRounds = 0;
    for (int round = 0; round < 60; ++round) {
        const bool damaged = round % 3 == 2, mixed = round % 4 == 1;
        bool open = false, badColor = false;
        std::string text = "// a save\r\n";
        auto line = [&](const std::string& l) { text += l + (!mixed || pick(4) ? "\r\n" : "\n"); };
        for (int i = 0, items = 5 + pick(40); i < items; ++i) {
            if (pick(8) == 0) line(pick(2) ? "}" : "SECTION CHARACTER 4\r\n{\r\nX 7\r\n}");
            line((pick(4) ? "SECTION WORLDITEM " : "section worlditem ") + std::to_string(pick(6) * 65536 + pick(9)));
            line("{");
            line("NAME " + std::string(pick(2) ? "#" : "a name"));
            line((pick(3) ? "ID " : "id ") + std::to_string(3820 + pick(3)));
            line("X " + std::to_string(pick(2) ? pick(40) : 70000 + pick(40)));
            line("Y " + std::to_string(pick(40)));
            if (pick(2)) line("Z " + std::to_string(pick(600) - 300));
            if (pick(2)) line((pick(2) ? "COLOR " : "Color ") + std::to_string(pick(70000)));
            if (damaged && pick(6) == 0) {
                line("COLOR 0x1g");
                badColor = true;
            }
            line("CONT " + std::string(pick(4) ? "-1" : "1073741830"));
            if (pick(3)) line("ID " + std::to_string(3820 + pick(3)));  // a second one wins
            line("TYPE " + std::string(pick(2) ? "255" : "0"));
            if (!damaged || pick(5)) line(pick(5) ? "}" : "} trailing");
            else open = true;
            if (pick(2)) line("");
        }
        line("EOF");
        const SelectionRule rule = pick(2) ? SelectionRule::Type255 : SelectionRule::Auto;
        const std::string path = dir.file("save.wsc");
        writeBytes(path, text);
        // A bad COLOR in an item that is taken stops the extraction.
        PassResult expected;
        const std::string refused = test::errorOf([&] { expected = wholeTextPasses(text, rule, ids, dir); });
        for (size_t chunk : {7, 64, 1000, 1 << 20}) {
            SCOPED_TRACE("round " + std::to_string(round) + " chunk " + std::to_string(chunk) + "\n" + text);
            bool complete = false;
            const PassResult noted = notedPasses(path, chunk, rule, ids, dir, complete);
            if (refused != "<no error>") {
                EXPECT_TRUE(badColor) << refused;
                EXPECT_FALSE(complete);
                continue;
            }
            // A damaged save's stray "}" may close an item left open, as the extraction would.
            if (!damaged) EXPECT_TRUE(complete);
            if (badColor && !open) EXPECT_FALSE(complete);
            if (!complete) {
                EXPECT_EQ(noted.table, expected.table);
                continue;
            }
            ++completeRounds;
            ASSERT_EQ(noted, expected);
        }
    }
    EXPECT_GT(completeRounds, 100);
}

// The scan in two parts at once gives what the scan in one go gives, wherever the blocks
// and the halves fall: the table, the log in file order, the notes, and the first error in
// file order with the log up to it.
TEST(ScanInParts, GivesWhatTheScanInOneGoGives) {
    std::mt19937 rng(20261214);
    auto pick = [&](int n) { return int(rng() % unsigned(n)); };
    AutoSelectIds ids;
    ids.set(3821);
    TempDir dir;
    struct Result {
        std::vector<std::tuple<uint8_t, uint16_t, uint16_t>> table;
        std::vector<std::string> log;
        std::vector<std::tuple<uint32_t, uint32_t, uint16_t, uint16_t, uint16_t, uint8_t, int8_t>> notes;
        bool complete = false, allCrlf = false;
        std::string error;
        bool operator==(const Result&) const = default;
    };
    auto run = [&](const std::string& path, SelectionRule rule, bool inParts, size_t block, size_t minSplit) {
        Result r;
        auto file = openFile(path, OpenMode::Read);
        auto table = newSelectionTable();
        detail::ItemDigest digest;
        const LogSink log = [&](const std::string& l) { r.log.push_back(l); };
        r.error = test::errorOf([&] {
            if (inParts) {
                detail::selectItemsInParts(*file, *table, rule, ids, log, Progress{}, digest, block, minSplit);
            } else {
                wstext::ChunkedLineReader reader(*file);
                detail::selectItems(reader, *table, rule, ids, log, Progress{}, digest);
            }
        });
        if (r.error != "<no error>") return r;  // only the log up to the error counts then
        for (const TSelectionEntry& e : table->entries) r.table.emplace_back(e.Selected, e.BlockX, e.BlockY);
        for (const auto& n : digest.items) r.notes.emplace_back(n.gap, n.length, n.key, n.id, n.color, n.cell, n.z);
        r.complete = digest.complete;
        r.allCrlf = digest.allCrlf;
        return r;
    };
    for (int round = 0; round < 40; ++round) {
        const bool damaged = round % 4 == 3, mixed = round % 5 == 1;
        std::string text = pick(2) ? "// a save\r\n" : "";
        auto line = [&](const std::string& l) { text += l + (!mixed || pick(5) ? "\r\n" : "\n"); };
        for (int i = 0, items = 20 + pick(200); i < items; ++i) {
            if (pick(10) == 0) line("SECTION CHARACTER 4\r\n{\r\nTYPE 255\r\nX 7\r\n}");
            if (pick(30) == 0) line(std::string(size_t(pick(300)), 'c'));  // long lines across blocks
            line((pick(4) ? "SECTION WORLDITEM " : "Section WorldItem ") + std::to_string(pick(3) * 65536 + pick(50)));
            line("{");
            line("NAME " + std::string(pick(2) ? "#" : "a name"));
            line("ID " + std::to_string(3820 + pick(3)));
            line("X " + std::to_string(pick(90)));
            line("Y " + std::to_string(pick(90)));
            if (pick(2)) line("COLOR " + std::to_string(pick(70000)));
            if (damaged && pick(40) == 0) line("Z 12q");  // a bad number somewhere
            line("CONT " + std::string(pick(4) ? "-1" : "7"));
            line("TYPE " + std::string(pick(2) ? "255" : "0"));
            if (!damaged || pick(8)) line("}");
            if (pick(2)) line("");
        }
        if (pick(2)) text += "EOF";  // perhaps a last line without an ending
        const std::string path = dir.file("save.wsc");
        writeBytes(path, text);
        const SelectionRule rule = pick(2) ? SelectionRule::Type255 : SelectionRule::Auto;
        const Result expected = run(path, rule, false, 0, 0);
        for (const auto& [block, minSplit] : std::vector<std::pair<size_t, size_t>>{
                 {64, 0}, {100, 50}, {333, 0}, {1000, 200}, {4096, 0}, {size_t(4) << 20, 0}}) {
            SCOPED_TRACE("round " + std::to_string(round) + " block " + std::to_string(block) + "\n" + text);
            ASSERT_EQ(run(path, rule, true, block, minSplit), expected);
        }
    }
}

// A world-save several chunks long, frozen and melted by the program, against the passes
// over the whole text (what freeze and melt did before they streamed).
class MultiChunkWorld : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new TempDir;
        makeSyntheticWorld(utf8Path(dir_->path()), 120000, 7);  // about 13 MB of world-save
    }
    static void TearDownTestSuite() {
        delete dir_;
        dir_ = nullptr;
    }
    static std::string file(const std::string& name) { return dir_->file(name); }
    static TempDir* dir_;
};
TempDir* MultiChunkWorld::dir_ = nullptr;

TEST_F(MultiChunkWorld, FreezeWritesTheWorldSaveTheWholeTextPassesWrite) {
    const std::string original = readBytes(file("items.wsc"));
    ASSERT_GT(original.size(), wstext::ChunkedLineReader::DefaultChunk);
    // The expected world-save, from the passes over the whole text.
    auto table = newSelectionTable();
    detail::TextMap map;
    detail::selectItems(original, *table, SelectionRule::Type255, AutoSelectIds{}, LogSink{}, Progress{}, &map);
    std::vector<uint32_t> targets(65536, detail::NoTarget);
    for (size_t n = 0; n < 65536; ++n)
        if ((*table)[n].Selected == 1) targets[n] = 0;
    std::vector<detail::ExtractedRecord> records;
    AtomicFile expected(file("expected.wsc"));
    wstext::TextWriter writer(expected.file(), original);
    detail::extractItems(original, targets, writer, records, Progress{}, &map);
    expected.commit();
    ASSERT_GT(records.size(), 1000u);

    TempDir work;
    for (const char* name : {"staidx0.mul", "statics0.mul", "items.wsc"})
        writeBytes(work.file(name), readBytes(file(name)));
    auto index = newStaticIndex();
    LoadStaticIndex(work.file("staidx0.mul"), *index);
    FreezeOptions o;
    o.staidxPath = work.file("staidx0.mul");
    o.staticsPath = work.file("statics0.mul");
    o.worldSavePath = work.file("items.wsc");
    o.writePat = true;
    o.patPath = work.file("frozen.pat");
    FreezeWorld(o, *index, Progress{}, LogSink{});
    EXPECT_TRUE(readBytes(work.file("items.wsc")) == readBytes(file("expected.wsc")));
    // Every taken item is in the statics (appended) and in the patch file, once.
    const std::string pat = readBytes(work.file("frozen.pat"));
    size_t sections = 0;
    for (size_t at = pat.find("SECTION WORLDITEM "); at != std::string::npos;
         at = pat.find("SECTION WORLDITEM ", at + 1))
        ++sections;
    EXPECT_EQ(sections, records.size());
    EXPECT_EQ(readBytes(work.file("statics0.mul")).size() - readBytes(file("statics0.mul")).size(),
              [&] {
                  // The marked blocks' old runs are copied behind the file with the new records.
                  uint64_t bytes = records.size() * StaticRecSize;
                  std::vector<bool> marked(size_t(index->world().blockCount()));
                  for (size_t n = 0; n < 65536; ++n)
                      if ((*table)[n].Selected == 1)
                          marked[size_t(index->world().blockNumber((*table)[n].BlockX, (*table)[n].BlockY))] = true;
                  auto before = newStaticIndex();
                  LoadStaticIndex(file("staidx0.mul"), *before);
                  for (size_t b = 0; b < marked.size(); ++b)
                      if (marked[b] && before->entries[b].Start != -1) bytes += uint64_t(before->entries[b].Length);
                  return bytes;
              }());
}

TEST_F(MultiChunkWorld, MeltKeepsTheTextBeforeEofAsTheWholeTextPassesDo) {
    // LF lines scattered through a long text, text after "EOF" and numbers after it too: the
    // old text is kept up to its first "EOF" (each line ended by CRLF) and numbered after all.
    std::string text = readBytes(file("items.wsc"));
    for (size_t at = 1000; at < text.size(); at += 777777) {
        const size_t crlf = text.find("\r\n", at);
        if (crlf != std::string::npos) text.erase(crlf, 1);
    }
    text += "EOF\r\nSECTION WORLDITEM 9999999\r\nSERIAL 1999999999\r\n";
    TempDir work;
    const std::string path = work.file("items.wsc");
    writeBytes(path, text);
    const detail::AppendPlan plan = detail::planAppend(true, text);
    ASSERT_FALSE(plan.keptIsCrlf);
    std::string expected;
    {
        AtomicFile out(work.file("expected.wsc"));
        wstext::TextWriter writer(out.file(), text);
        detail::writeLinesBeforeEof(text, plan, out.file(), writer);
        detail::PatchNumbers numbers = plan.numbers;
        detail::writeItemSection(writer, numbers, TStaticRec{3821, 1, 2, -5, 7}, 10, 20);
        detail::writeEofTrailer(writer);
        writer.flush();
        out.commit();
        expected = readBytes(work.file("expected.wsc"));
    }
    TStaticBlock block;
    block.Records[0] = TStaticRec{3821, 1, 2, -5, 7};
    block.Count = 1;
    WriteWorldItems(path, block, 10, 20, LogSink{});
    EXPECT_TRUE(readBytes(path) == expected);
    EXPECT_NE(expected.find("SECTION WORLDITEM 10000000\r\n{\r\nSERIAL 2000000000\r\n"), std::string::npos);
}

} // namespace
} // namespace tq
