#include "core/error.h"
#include "core/file_system.h"
#include "worldsave/patch_writer.h"
#include "world_fixture.h"

#include <gtest/gtest.h>

namespace tq {
namespace {

TStaticBlock blockOf(const std::vector<TStaticRec>& recs) {
    TStaticBlock b;
    for (const TStaticRec& r : recs) b.Records[b.Count++] = r;
    return b;
}

std::string section(int n, long serial, int id, int x, int y, int z, int color) {
    return "SECTION WORLDITEM " + std::to_string(n) + "\r\n{\r\nSERIAL " + std::to_string(serial) +
           "\r\nNAME #\r\nID " + std::to_string(id) + "\r\nX " + std::to_string(x) + "\r\nY " + std::to_string(y) +
           "\r\nZ " + std::to_string(z) + "\r\nCOLOR " + std::to_string(color) + "\r\nCONT -1\r\nTYPE 255\r\n}\r\n\r\n";
}

TEST(WriteWorldItems, NewFileStartsAtSection2AndSerial2Pow30Plus1) {
    test::TempDir dir;
    const std::string pat = dir.file("new.pat");
    WriteWorldItems(pat, blockOf({{3821, 3, 4, -5, 0}, {1, 0, 0, 0, 33}}), 10, 20, {});
    EXPECT_EQ(test::readBytes(pat), section(2, 1073741825, 3821, 83, 164, -5, 0) +
                                        section(3, 1073741826, 1, 80, 160, 0, 33) + "EOF\r\n\r\n");
}

TEST(WriteWorldItems, ExistingFileContinuesAfterItsHighestNumbersAndEndsAtItsFirstEof) {
    struct Case {
        const char* what;
        std::string before, kept;
        int section;
        long serial;
    };
    const std::string body = "SECTION WORLDITEM 41\nSERIAL 1073741900\nSECTION WORLDITEM 7\r\nSERIAL 12\r\n";
    const std::string bodyCrlf = "SECTION WORLDITEM 41\r\nSERIAL 1073741900\r\nSECTION WORLDITEM 7\r\nSERIAL 12\r\n";
    const Case cases[] = {
        {"after section 41 / serial 1073741900", body + "EOF\r\n", bodyCrlf, 42, 1073741901},
        // What follows the first "EOF" (any case, any blanks) is dropped, but its numbers still count.
        {"lines after eof", body + "  eof \r\nSECTION WORLDITEM 90\r\nEOF\r\n", bodyCrlf, 91, 1073741901},
        {"no EOF, last line without ending", "// only\r\nX 1", "// only\r\nX 1\r\n", 0, 1073741825},
        {"serials below 2^30 and characters", "SECTION CHARACTER 500\nSERIAL 3\n",
         "SECTION CHARACTER 500\r\nSERIAL 3\r\n", 0, 1073741825},
    };
    for (const Case& c : cases) {
        test::TempDir dir;
        const std::string pat = dir.file("old.pat");
        test::writeBytes(pat, c.before);
        WriteWorldItems(pat, blockOf({{5, 1, 2, 3, 4}, {6, 0, 0, 0, 0}}), 0, 0, {});
        EXPECT_EQ(test::readBytes(pat), c.kept + section(c.section, c.serial, 5, 1, 2, 3, 4) +
                                            section(c.section + 1, c.serial + 1, 6, 0, 0, 0, 0) + "EOF\r\n\r\n")
            << c.what;
    }
}

TEST(WriteWorldItems, EmptyBlockOnlyLogs) {
    test::TempDir dir;
    const std::string missing = dir.file("missing.pat"), existing = dir.file("old.pat");
    test::writeBytes(existing, "X 1\nEOF\nrest");
    std::vector<std::string> log;
    auto sink = [&](const std::string& l) { log.push_back(l); };
    WriteWorldItems(missing, TStaticBlock{}, 1, 1, sink);
    WriteWorldItems(existing, TStaticBlock{}, 1, 1, sink);
    EXPECT_FALSE(fileExists(missing));
    EXPECT_EQ(test::readBytes(existing), "X 1\nEOF\nrest");
    EXPECT_EQ(log, (std::vector<std::string>{"Nothing to do!", "Nothing to do!"}));
}

TEST(WriteWorldItems, RefusesBeforeWritingWhenNumbersOrValuesAreBad) {
    const std::string cases[] = {
        "SECTION WORLDITEM 2147483647\r\n",         // the next section number would not fit
        "SERIAL 2147483646\r\n",                    // two new serials would not fit
        "SERIAL 1073741900x\r\nEOF\r\n",            // not a number
    };
    for (const std::string& before : cases) {
        test::TempDir dir;
        const std::string pat = dir.file("old.pat");
        test::writeBytes(pat, before);
        EXPECT_THROW(WriteWorldItems(pat, blockOf({{1, 0, 0, 0, 0}, {2, 0, 0, 0, 0}}), 0, 0, {}), Error) << before;
        EXPECT_EQ(test::readBytes(pat), before);
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1) << "temporary file left";
    }
}

} // namespace
} // namespace tq
