// terraquill-cli wsc convert: an old single-file save into today's folder of region files.
#include "support/run_cli.h"
#include "support/temp_dir.h"
#include "worldsave/world_save_format.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace tq {
namespace {

using test::readBytes;
using test::runCli;

TEST(WscConvert, ItemsCharactersAndContainersGoWhereTheyLie) {
    test::TempDir dir;
    const std::string old = dir.file("items.wsc"), out = dir.file("shared");
    test::writeBytes(old,
                     "// UOX3 world save\r\n\r\n"
                     "SECTION WORLDITEM 1\r\n{\r\nSERIAL 1073741825\r\nNAME #\r\nID 3821\r\nX 1234\r\nY 567\r\nZ -5\r\n"
                     "COLOR 33\r\nCONT -1\r\nTYPE 255\r\nMOVABLE 2\r\n}\r\n\r\n"
                     // A bag on the ground in another area, and what lies in it.
                     "SECTION WORLDITEM 2\r\n{\r\nSERIAL 1073741826\r\nID 3701\r\nX 300\r\nY 2100\r\nCONT -1\r\nTYPE 1\r\n}\r\n"
                     "SECTION WORLDITEM 3\r\n{\r\nSERIAL 1073741827\r\nID 5\r\nX 40\r\nY 60\r\nCONT 1073741826\r\n}\r\n"
                     // In a character's backpack; in a container the save does not hold; no serial.
                     "SECTION WORLDITEM 4\r\n{\r\nSERIAL 1073741828\r\nID 6\r\nX 50\r\nY 50\r\nCONT 7\r\nAMOUNT 12\r\n}\r\n"
                     "SECTION WORLDITEM 5\r\n{\r\nSERIAL 1073741829\r\nID 7\r\nCONT 99\r\n}\r\n"
                     "SECTION WORLDITEM 6\r\n{\r\nID 8\r\nX 6000\r\nY 4000\r\n}\r\n"
                     "SECTION CHARACTER 1\r\n{\r\nSERIAL 7\r\nNAME Brenna\r\nID 400\r\nX 5000\r\nY 10\r\nZ 3\r\n"
                     "ACCOUNT 12\r\n}\r\n"
                     "SECTION GUILD 1\r\n{\r\nNAME Order of the Quill\r\n}\r\nEOF\r\n");
    const auto r = runCli({"wsc", "convert", old, out});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Wrote 6 world items (3 in containers) and 1 characters into 5 region files of " + out + "\n"
                     "Not carried over: CHARACTER tag ACCOUNT (1)\n"
                     "Not carried over: GUILD sections (1)\n"
                     "Not carried over: WORLDITEM tag MOVABLE (1)\n"
                     "Not carried over: comment lines (1)\n"
                     "Changed: items in containers that are not in the save (put into overflow.wsc) (1)\n"
                     "Changed: world items without SERIAL (given new serials) (1)\n");
    EXPECT_EQ(readBytes(out + "/4.0.wsc"),
              "[ITEM]\nSerial=0x40000001\nID=0x0eed\nName=#\nLocation=1234,567,-5,0,0\nColour=0x0021\n"
              "Cont=0xffffffff\nType=255\no---o\n\n");
    EXPECT_EQ(readBytes(out + "/1.2.wsc"),
              "[ITEM]\nSerial=0x40000002\nID=0x0e75\nLocation=300,2100,0,0,0\nColour=0x0000\nCont=0xffffffff\n"
              "Type=1\no---o\n\n"
              "[ITEM]\nSerial=0x40000003\nID=0x0005\nLocation=40,60,0,0,0\nColour=0x0000\nCont=0x40000002\n"
              "Type=0\no---o\n\n");
    EXPECT_EQ(readBytes(out + "/19.0.wsc"),
              "[ITEM]\nSerial=0x40000004\nID=0x0006\nLocation=50,50,0,0,0\nColour=0x0000\nCont=0x00000007\n"
              "Type=0\nAmount=12\no---o\n\n"
              "[CHARACTER]\nSerial=0x00000007\nID=0x0190\nName=Brenna\nLocation=5000,10,3,0,0\no---o\n\n");
    EXPECT_NE(readBytes(out + "/overflow.wsc").find("Cont=0x00000063\n"), std::string::npos);
    EXPECT_NE(readBytes(out + "/23.3.wsc").find("Serial=0x40000006\n"), std::string::npos);
    EXPECT_EQ(DetectWorldSave(out).files.size(), 5u);

    // Never over a save that is there already.
    const auto again = runCli({"wsc", "convert", old, out});
    EXPECT_EQ(again.status, 1);
    EXPECT_EQ(again.err, "error: " + out + " already holds 1.2.wsc; convert into a folder without a world-save\n");
    // A bad number is refused before any file is written.
    test::writeBytes(old, "SECTION WORLDITEM 1\r\n{\r\nX 12a\r\n}\r\n");
    const auto bad = runCli({"wsc", "convert", old, dir.file("other")});
    EXPECT_EQ(bad.status, 1);
    EXPECT_NE(bad.err.find("'12A' is not a valid integer value"), std::string::npos) << bad.err;
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "other"));
}

} // namespace
} // namespace tq
