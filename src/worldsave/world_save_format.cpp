#include "worldsave/world_save_format.h"

#include "core/error.h"
#include "core/file_system.h"
#include "core/utf8_path.h"
#include "worldsave/folder_save_text.h"
#include "worldsave/world_save_text.h"

#include <algorithm>
#include <filesystem>

namespace tq {

namespace {

enum class TextKind { Nothing, Sections, Records };

// The first object of a text tells its format; the start of the file is enough for that.
constexpr size_t SniffBytes = size_t(1) << 20;
constexpr size_t SniffChunk = size_t(64) << 10;

TextKind kindOf(const std::string& path) {
    if (!fileExists(path)) return TextKind::Nothing;
    const auto file = openFile(path, OpenMode::Read);
    std::string head;
    size_t looked = 0;  // complete lines already looked at
    while (head.size() < SniffBytes) {
        const size_t at = head.size();
        head.resize(at + SniffChunk);
        const size_t n = file->readSome(head.data() + at, SniffChunk);
        head.resize(at + n);
        const bool end = n == 0;
        wstext::LineReader reader(std::string_view(head).substr(looked));
        wstext::Line line;
        while (reader.next(line)) {
            if (line.end == head.size() - looked && !end) break;  // may go on in the next chunk
            looked += line.end - line.begin;
            const std::string_view t = wstext::trimBlanks(line.text);
            if (t.size() >= 2 && t.front() == '[' && t.back() == ']') return TextKind::Records;
            // The old reader matches only from the first column.
            if (wstext::startsWithNoCase(line.text, "SECTION ")) return TextKind::Sections;
        }
        if (end) break;
    }
    return TextKind::Nothing;
}

WorldSave folderSave(const std::string& folder, bool named) {
    WorldSave save;
    save.format = WorldSaveFormat::Folder;
    save.path = folder;
    std::vector<std::string> names;
    for (const std::string& name : fileSystem().listFolder(folder))
        if (wsc::isWscFileName(name) && fileExists(fileInFolder(folder, name))) names.push_back(name);
    std::sort(names.begin(), names.end());
    const std::string shown = folder.empty() ? "." : folder;
    if (names.empty()) throw Error(shown + " holds no .wsc file of a world-save", folder);
    std::string sections, records;
    for (const std::string& name : names) {
        const std::string path = fileInFolder(folder, name);
        const TextKind kind = kindOf(path);
        if (kind == TextKind::Sections && sections.empty()) sections = name;
        if (kind == TextKind::Records && records.empty()) records = name;
        save.files.push_back(path);
    }
    if (!sections.empty() && !records.empty())
        throw Error(shown + " mixes both world-save formats: " + sections + " holds SECTION objects, " + records +
                        " [ITEM] records; move one of them away",
                    folder);
    if (!sections.empty() && !named)
        throw Error(shown + " holds a world-save of the single-file format (" + sections +
                        "); choose that file itself",
                    folder);
    return save;
}

} // namespace

std::string fileInFolder(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    const char last = folder.back();
    return last == '/' || last == '\\' ? folder + name : folder + "/" + name;
}

bool isFolderPath(const std::string& path) {
    std::error_code ec;
    return !path.empty() && std::filesystem::is_directory(fsPath(path), ec);
}

WorldSave DetectWorldSave(const std::string& path) {
    if (isFolderPath(path)) return folderSave(path, false);
    if (kindOf(path) == TextKind::Records) return folderSave(folderOf(path), true);
    WorldSave save;
    save.path = path;
    return save;
}

std::string worldSaveFoundMessage(const WorldSave& save) {
    if (save.format != WorldSaveFormat::Folder) return "World-save: a single file of SECTION objects (" + save.path + ")";
    const size_t n = save.files.size();
    return "World-save: a folder of " + std::to_string(n) + (n == 1 ? " region file (" : " region files (") +
           (save.path.empty() ? "." : save.path) + ")";
}

} // namespace tq
