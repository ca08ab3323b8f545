// What the Windows file layer must hold on Windows (and under Wine in CI): names as
// Windows users write them, files the game client or server holds open, the read-only
// attribute, case-insensitive names. Built only in the Windows build.
#ifdef _WIN32
#include "core/atomic_file.h"
#include "core/bytes.h"
#include "core/error.h"
#include "core/file_system.h"
#include "core/file_system_windows.h"

#include "support/error_of.h"
#include "support/png_decode.h"
#include "support/read_only_file.h"
#include "support/run_cli.h"
#include "support/temp_dir.h"
#include "worldsave/world_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace tq {
namespace {

using test::errorOf;
using test::readBytes;
using test::TempDir;
using test::worldItem;

// The test's own view of the disk, in UTF-16 straight from the wide literals, so a
// wrong conversion in the program cannot hide behind the same conversion here.
std::wstring longForm(const std::wstring& path) { return L"\\\\?\\" + path; }

void makeFolders(const std::wstring& base, const std::wstring& relative) {
    std::wstring path = base;
    size_t pos = 0;
    while (pos < relative.size()) {
        size_t next = relative.find(L'\\', pos + 1);
        if (next == std::wstring::npos) next = relative.size();
        path += relative.substr(pos, next - pos);
        CreateDirectoryW(longForm(path).c_str(), nullptr);
        pos = next;
    }
}

std::vector<std::wstring> namesIn(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE h = FindFirstFileW(longForm(folder + L"\\*").c_str(), &found);
    if (h == INVALID_HANDLE_VALUE) return names;
    do {
        const std::wstring name = found.cFileName;
        if (name != L"." && name != L"..") names.push_back(name);
    } while (FindNextFileW(h, &found));
    FindClose(h);
    std::sort(names.begin(), names.end());
    return names;
}

std::string ascii(const std::wstring& text) { return std::string(text.begin(), text.end()); }

// Another program's open handle on a file, as the game client or a server keeps one.
class HeldOpen {
public:
    HeldOpen(const std::string& utf8, DWORD share) {
        std::wstring wide(utf8.size(), L'\0');
        wide.resize(size_t(MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), wide.data(),
                                               int(wide.size()))));
        h_ = CreateFileW(wide.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr);
    }
    ~HeldOpen() {
        if (h_ != INVALID_HANDLE_VALUE) CloseHandle(h_);
    }
    bool held() const { return h_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE h_ = INVALID_HANDLE_VALUE;
};

// Tile 1 has a 64 x 64 texture of one colour; names spelt as copied from a Windows install.
void writeClientPictures(const std::string& folder) {
    std::string texidx(4096 * 12, '\xFF'), artidx(4096 * 12, '\xFF');
    le::put32(reinterpret_cast<uint8_t*>(texidx.data()) + 12, 0);
    le::put32(reinterpret_cast<uint8_t*>(texidx.data()) + 16, 8192);
    std::string texmaps;
    for (int i = 0; i < 64 * 64; ++i) texmaps += std::string("\x1F\x7C", 2);  // 0x7C1F: red 31, green 0, blue 31
    // Through the file layer: the C runtime's own calls stop at 260 characters.
    writeFileAtomic(folder + "\\TEXIDX.MUL", texidx);
    writeFileAtomic(folder + "\\TexMaps.mul", texmaps);
    writeFileAtomic(folder + "\\ARTIDX.MUL", artidx);
    writeFileAtomic(folder + "\\Art.Mul", "");
}

struct PathCase {
    const char* what;
    std::string folder;      // below the test's folder, as the user types it (UTF-8)
    std::wstring wide;       // the same folder, in UTF-16, with backslashes
    char separator;          // between the folder and the file name
};

std::vector<PathCase> pathCases() {
    std::string longUtf8;
    std::wstring longWide;
    for (int i = 0; i < 3; ++i) {
        const std::string part = "\\Ultima Online Classic Client Files Copied From The Old Computer " + std::to_string(i) +
                                 std::string(40, 'x');
        longUtf8 += part;
        longWide += std::wstring(part.begin(), part.end());
    }
    return {
        {"backslashes", "\\plain\\client", L"\\plain\\client", '\\'},
        {"forward slashes", "/forward/client", L"\\forward\\client", '/'},
        {"both", "\\mixed/client", L"\\mixed\\client", '\\'},
        {"spaces and non-ASCII letters", "\\Users\\Zoë\\UO Spiele", L"\\Users\\Zoë\\UO Spiele", '\\'},
        {"other scripts", "\\Ультима\\日本語 フォルダ", L"\\Ультима\\日本語 フォルダ", '\\'},
        {"over 260 characters", longUtf8, longWide, '\\'},
    };
}

TEST(WindowsPaths, EveryFileOperationWorksOnNamesAsWindowsUsersWriteThem) {
    TempDir dir;
    const std::string base = dir.path().string();  // C:\...\Temp\tq-test-..., a drive letter
    const std::wstring wideBase = dir.path().wstring();
    for (const PathCase& c : pathCases()) {
        SCOPED_TRACE(c.what);
        makeFolders(wideBase, c.wide);
        const std::wstring wideFolder = wideBase + c.wide;
        const std::string folder = base + c.folder;
        const std::string path = folder + c.separator + "staidx0.mul";
        if (std::string(c.what) == "over 260 characters") {
            ASSERT_GT(path.size(), 300u);
        }

        writeFileAtomic(path, "first");
        writeFileAtomic(path, "second, longer");  // replaces the file just written
        EXPECT_EQ(readWholeFile(path), "second, longer");
        EXPECT_TRUE(fileExists(path));
        EXPECT_EQ(fileSystem().fileSize(path), 14u);
        // Where Windows itself finds it, under the right name, and nothing left beside it.
        EXPECT_EQ(namesIn(wideFolder), std::vector<std::wstring>{L"staidx0.mul"});

        {
            auto f = openFile(path, OpenMode::ReadWrite);
            f->seek(0);
            f->write("S", 1);
            f->close();
            auto a = openFile(path, OpenMode::Append);
            a->write("!", 1);
            a->close();
        }
        EXPECT_EQ(readWholeFile(path), "Second, longer!");

        // Windows matches names without regard to case.
        std::string upper = path;
        for (char& ch : upper)
            if (ch >= 'a' && ch <= 'z') ch = char(ch - 'a' + 'A');
        EXPECT_TRUE(fileSystem().sameFile(path, upper));
        EXPECT_EQ(readWholeFile(upper), "Second, longer!");

        // The command line takes the same names (wide-character command line, folder
        // listing for the client files' spellings, the PNG written beside them).
        writeClientPictures(folder);
        const std::string png = folder + c.separator + "tile 1.png";
        const auto r = test::runCli({"tile-image", "--client-dir", folder, "1", "--out", png});
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, "Tile 1: 64 x 64 picture written to " + png + "\n");
        const auto picture = test::decodePng(readWholeFile(png));
        ASSERT_TRUE(picture.ok);
        EXPECT_EQ(picture.width, 64);
        EXPECT_EQ(picture.pixel(63, 63), 0xFF00FFu);

        fileSystem().remove(path);
        EXPECT_FALSE(fileExists(path));
        fileSystem().remove(path);  // a missing file is no error
    }
}

// Wine has no 260-character limit, so the test above would pass there without the
// prefix; what the system is handed is checked here, for a real Windows' sake.
TEST(WindowsPaths, LongNamesAreHandedOverAbsoluteWithTheLongPathPrefix) {
    const std::string folder(120, 'f');
    const std::wstring wideFolder(120, L'f');
    const std::string file = "staidx0.mul";
    struct Case {
        std::string given;
        std::wstring handed;
    };
    const Case cases[] = {
        {"C:\\UO\\staidx0.mul", L"C:\\UO\\staidx0.mul"},  // short: as given
        {"C:/UO/staidx0.mul", L"C:/UO/staidx0.mul"},
        {"C:\\" + folder + "\\" + folder + "\\" + file,
         L"\\\\?\\C:\\" + wideFolder + L"\\" + wideFolder + L"\\staidx0.mul"},
        {"C:/" + folder + "/" + folder + "/./x/../" + file,
         L"\\\\?\\C:\\" + wideFolder + L"\\" + wideFolder + L"\\staidx0.mul"},
        {"\\\\server\\share\\" + folder + "\\" + folder + "\\" + file,
         L"\\\\?\\UNC\\server\\share\\" + wideFolder + L"\\" + wideFolder + L"\\staidx0.mul"},
        {"\\\\?\\C:\\" + folder + "\\" + folder + "\\" + file,
         L"\\\\?\\C:\\" + wideFolder + L"\\" + wideFolder + L"\\staidx0.mul"},  // already prefixed
        {"C:\\Users\\Zo\xC3\xAB\\UO Spiele\\staidx0.mul", L"C:\\Users\\Zo\u00EB\\UO Spiele\\staidx0.mul"},
    };
    for (const Case& c : cases) EXPECT_EQ(ascii(windowsPath(c.given)), ascii(c.handed)) << c.given;
    EXPECT_EQ(windowsPath("C:\\Users\\Zo\xC3\xAB"), L"C:\\Users\\Zo\u00EB");
    for (const std::string& bad : {std::string(), std::string("a\0b", 3), std::string("\xC3\x28")})
        EXPECT_EQ(errorOf([&] { windowsPath(bad); }), "Invalid filename");
}

TEST(WindowsPaths, NamesWindowsCannotHaveAreRefused) {
    TempDir dir;
    const std::string base = dir.path().string();
    const std::string cases[] = {
        base + "\\a<b.mul",
        base + "\\what?.mul",
        base + "\\pipe|.mul",
        base + "\\bad utf-8 \xC3\x28.mul",
        base + std::string("\\nul\0inside.mul", 16),
        base + "\\no such folder\\staidx0.mul",
        "Q:\\no such drive\\staidx0.mul",
    };
    for (const std::string& name : cases) {
        SCOPED_TRACE(name);
        EXPECT_EQ(errorOf([&] { openFile(name, OpenMode::Create); }), "Invalid filename");
        EXPECT_FALSE(fileExists(name));
    }
    EXPECT_EQ(dir.entries(), std::vector<std::string>{}) << "no file may have been made under another name";
}

TEST(WindowsPaths, SystemErrorsMapToMessages) {
    const std::pair<DWORD, std::string> cases[] = {
        {ERROR_FILE_NOT_FOUND, "File not found"},     {ERROR_PATH_NOT_FOUND, "Invalid filename"},
        {ERROR_INVALID_NAME, "Invalid filename"},     {ERROR_FILENAME_EXCED_RANGE, "Invalid filename"},
        {ERROR_ACCESS_DENIED, "File access denied"},  {ERROR_SHARING_VIOLATION, "File access denied"},
        {ERROR_WRITE_PROTECT, "File access denied"},  {ERROR_DISK_FULL, "Disk full"},
        {ERROR_HANDLE_DISK_FULL, "Disk full"},        {ERROR_HANDLE_EOF, "Read beyond end of file"},
        {ERROR_CRC, "I/O error " + std::to_string(ERROR_CRC)},
    };
    for (const auto& [code, message] : cases) EXPECT_EQ(systemErrorMessage(int(code), "x"), message) << code;
}

TEST(WindowsFiles, AFileAnotherProgramHoldsOpenIsNeverTorn) {
    // A reader that does not share deleting (the client, most servers) blocks replacing;
    // one that does may still block the rename itself (Windows before POSIX renames, Wine).
    // Either way the file is the old one or the new one, whole, and nothing is left beside.
    struct Case {
        const char* what;
        DWORD share;
        bool refused;  // known to be refused before anything is written
    };
    const Case cases[] = {
        {"reader that shares reading only (the client)", FILE_SHARE_READ, true},
        {"reader that shares reading and writing", FILE_SHARE_READ | FILE_SHARE_WRITE, true},
        {"reader that lets others delete", FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, false},
    };
    const std::string replacement(100000, 'n');
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        const std::string path = dir.file("statics0.mul");
        test::writeBytes(path, "what the client reads");
        HeldOpen client(path, c.share);
        ASSERT_TRUE(client.held());
        const std::string result = errorOf([&] { writeFileAtomic(path, replacement); });
        const std::string after = readBytes(path);
        if (c.refused || result != "<no error>") {
            EXPECT_EQ(result, "File access denied");
            EXPECT_EQ(after, "what the client reads");
        } else {
            EXPECT_TRUE(after == replacement) << "the new file, whole: " << after.size() << " bytes";
        }
        // In place (the map editor, fill) only when the reader shares writing.
        const std::string inPlace = errorOf([&] { openFile(path, OpenMode::ReadWrite); });
        EXPECT_EQ(inPlace, c.share & FILE_SHARE_WRITE ? "<no error>" : "File access denied");
        EXPECT_EQ(dir.entries(), std::vector<std::string>{"statics0.mul"});
    }
}

TEST(WindowsFiles, OperationsOnAWorldInUseChangeNothing) {
    struct Case {
        const char* what;
        const char* held;  // which of the world's files another program holds
        std::function<std::vector<std::string>(const test::ClientFiles&)> args;
        bool staticsMayGrow;  // unreferenced runs appended before the index is replaced
    };
    auto freeze = [](const test::ClientFiles& f) {
        return std::vector<std::string>{"freeze", "--staidx", f.staidx, "--statics", f.statics, "--wsc", f.wsc};
    };
    auto melt = [](const test::ClientFiles& f) {
        return std::vector<std::string>{"melt", "--staidx", f.staidx, "--statics", f.statics, "--wsc", f.wsc, "1", "1"};
    };
    const Case cases[] = {
        {"freeze, the server holds the world-save", "items.wsc", freeze, false},
        {"freeze, the client holds the statics", "statics0.mul", freeze, false},
        {"freeze, the client holds the index", "staidx0.mul", freeze, true},
        {"melt, the client holds the index", "staidx0.mul", melt, false},
        {"melt, the server holds the world-save", "items.wsc", melt, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        test::ClientFiles f;
        f.giveStatics(1, 1, {{1, 1, 1, 1, 1}});
        f.write(worldItem(3, 6, 8, 8, 255) + worldItem(4, 2, 9, 9, 0) + "EOF\r\n");
        const std::string staidx = readBytes(f.staidx), statics = readBytes(f.statics), wsc = readBytes(f.wsc);
        const auto before = f.dir.entries();
        HeldOpen other(f.dir.file(c.held), FILE_SHARE_READ);
        ASSERT_TRUE(other.held());

        const auto r = test::runCli(c.args(f));
        EXPECT_EQ(r.status, 1) << r.out;
        EXPECT_NE(r.err.find("File access denied"), std::string::npos) << r.err;
        EXPECT_EQ(readBytes(f.staidx), staidx);
        EXPECT_EQ(readBytes(f.wsc), wsc);
        if (c.staticsMayGrow) EXPECT_EQ(readBytes(f.statics).substr(0, statics.size()), statics);
        else EXPECT_EQ(readBytes(f.statics), statics);
        EXPECT_EQ(f.dir.entries(), before) << "no temporary file left";
    }
}

TEST(WindowsFiles, TheReadOnlyAttributeIsRespected) {
    test::ClientFiles f;
    f.giveStatics(1, 1, {{1, 1, 1, 1, 1}});
    f.write(worldItem(3, 6, 8, 8, 255) + "EOF\r\n");
    const std::string staidx = readBytes(f.staidx), statics = readBytes(f.statics), wsc = readBytes(f.wsc);
    for (const std::string& file : {f.staidx, f.wsc}) {
        SCOPED_TRACE(file);
        test::ReadOnlyFile readOnly(file);
        ASSERT_TRUE(readOnly.effective());
        for (const auto& args : {std::vector<std::string>{"melt", "--staidx", f.staidx, "--statics", f.statics, "--wsc",
                                                          f.wsc, "1", "1"},
                                 std::vector<std::string>{"freeze", "--staidx", f.staidx, "--statics", f.statics,
                                                          "--wsc", f.wsc}}) {
            const auto r = test::runCli(args);
            EXPECT_EQ(r.status, 1) << args[0] << ": " << r.out;
            EXPECT_NE(r.err.find("File access denied"), std::string::npos) << args[0] << ": " << r.err;
        }
        EXPECT_EQ(readBytes(f.staidx), staidx);
        EXPECT_EQ(readBytes(f.wsc), wsc);
        EXPECT_EQ(readBytes(f.statics).substr(0, statics.size()), statics);
        EXPECT_EQ(f.dir.entries(), (std::vector<std::string>{"items.wsc", "staidx0.mul", "statics0.mul"}));
        DWORD attr = GetFileAttributesW(fsPath(file).c_str());
        EXPECT_TRUE(attr & FILE_ATTRIBUTE_READONLY) << "the attribute stays";
    }
}

TEST(WindowsFiles, AHiddenFileStaysHiddenWhenReplaced) {
    // Some shards hide the server's world-save from players who browse the folder.
    test::ClientFiles f;
    f.giveStatics(1, 1, {{1, 1, 1, 1, 1}});
    f.write(worldItem(3, 6, 8, 8, 255) + "EOF\r\n");
    for (const std::string& file : {f.staidx, f.wsc})
        ASSERT_TRUE(SetFileAttributesW(fsPath(file).c_str(), FILE_ATTRIBUTE_HIDDEN));
    const auto r = test::runCli({"freeze", "--staidx", f.staidx, "--statics", f.statics, "--wsc", f.wsc});
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_EQ(f.blockOnDisk(1, 1).size(), 2u) << "the freeze replaced both files";
    for (const std::string& file : {f.staidx, f.wsc}) {
        const DWORD attr = GetFileAttributesW(fsPath(file).c_str());
        EXPECT_TRUE(attr != INVALID_FILE_ATTRIBUTES && (attr & FILE_ATTRIBUTE_HIDDEN)) << file;
    }
}

TEST(WindowsFiles, CrlfWorldSaveNamedInAnyCaseIsFrozenAndMelted) {
    // The server writes CRLF; a folder copied from Windows may spell the names in capitals.
    test::ClientFiles f;
    f.giveStatics(1, 1, {{1, 1, 1, 1, 1}});
    f.write(worldItem(3, 6, 8, 8, 255) + worldItem(4, 2, 9, 9, 0) + "EOF\r\n");
    auto upper = [&](const std::string& name) { return f.dir.file(name); };
    const auto frozen = test::runCli({"freeze", "--staidx", upper("STAIDX0.MUL"), "--statics", upper("Statics0.MUL"),
                                      "--wsc", upper("ITEMS.WSC")});
    ASSERT_EQ(frozen.status, 0) << frozen.err;
    EXPECT_EQ(f.blockOnDisk(1, 1), (std::vector<TStaticRec>{{1, 1, 1, 1, 1}, {6, 0, 0, 0, 0}}));
    std::string save = readBytes(f.wsc);
    EXPECT_EQ(save.find("ID 6\r\n"), std::string::npos);
    EXPECT_NE(save.find("SECTION WORLDITEM 4\r\n{\r\n"), std::string::npos);
    for (size_t at = save.find('\n'); at != std::string::npos; at = save.find('\n', at + 1))
        EXPECT_EQ(save[at - 1], '\r') << "every line ends CRLF, at byte " << at;

    const auto melted = test::runCli(
        {"melt", "--staidx", upper("StaIdx0.mul"), "--statics", upper("STATICS0.MUL"), "--wsc", upper("Items.Wsc"), "1", "1"});
    ASSERT_EQ(melted.status, 0) << melted.err;
    EXPECT_TRUE(f.blockOnDisk(1, 1).empty());
    EXPECT_NE(readBytes(f.wsc).find("ID 6\r\nX 8\r\nY 8\r\n"), std::string::npos);
    EXPECT_EQ(f.dir.entries().size(), 3u) << "one file each, whatever the spelling";
}

} // namespace
} // namespace tq
#endif
