#include "worldsave/wsc_convert.h"

#include "core/atomic_file.h"
#include "core/error.h"
#include "core/file_system.h"
#include "core/utf8_path.h"
#include "worldsave/folder_save_text.h"
#include "worldsave/world_save_format.h"
#include "worldsave/world_save_text.h"

#include <algorithm>
#include <filesystem>
#include <optional>
#include <unordered_map>
#include <vector>

namespace tq {

namespace {

enum class Kind { Item, Character, Other };

struct OldObject {
    Kind kind = Kind::Other;
    std::string kindName;  // "WORLDITEM", "CHARACTER", "GUILD", ...
    std::optional<int32_t> serial, id, x, y, z, colour, cont, type, amount;
    std::string name;
    bool hasName = false;
    std::string region;  // the file it goes into
};

void say(const LogSink& log, const std::string& line) {
    if (log) log(line);
}

// The tags a record of today's format has a key for; the rest are listed as not carried.
bool readTag(OldObject& o, const std::string& tag, std::string_view value) {
    auto number = [&](std::optional<int32_t>& slot) {
        slot = wstext::parseValue(value);
        return true;
    };
    if (tag == "SERIAL") return number(o.serial);
    if (tag == "NAME") {
        o.name = std::string(wstext::trimBlanks(value));
        o.hasName = true;
        return true;
    }
    if (tag == "ID") return number(o.id);
    if (tag == "X") return number(o.x);
    if (tag == "Y") return number(o.y);
    if (tag == "Z") return number(o.z);
    if (o.kind != Kind::Item) return false;  // of a character only its place and looks
    if (tag == "COLOR") return number(o.colour);
    if (tag == "CONT") return number(o.cont);
    if (tag == "TYPE") return number(o.type);
    if (tag == "AMOUNT") return number(o.amount);
    return false;
}

std::vector<OldObject> readOldSave(std::string_view text, std::map<std::string, int64_t>& notCarried) {
    std::vector<OldObject> objects;
    wstext::LineReader reader(text);
    wstext::Line line;
    OldObject* open = nullptr;
    while (reader.next(line)) {
        const std::string_view t = line.text;
        if (wstext::startsWithNoCase(t, "SECTION ")) {
            OldObject o;
            const std::string_view rest = wstext::trimBlanks(t.substr(8));
            o.kindName = wstext::upperCopy(rest.substr(0, rest.find(' ')));
            o.kind = o.kindName == "WORLDITEM" ? Kind::Item : o.kindName == "CHARACTER" ? Kind::Character : Kind::Other;
            if (o.kind == Kind::Other) ++notCarried[o.kindName + " sections"];
            objects.push_back(std::move(o));
            open = &objects.back();
            continue;
        }
        const std::string_view trimmed = wstext::trimBlanks(t);
        if (trimmed.empty() || trimmed == "{") continue;
        if (trimmed[0] == '}') {
            open = nullptr;
            continue;
        }
        if (!open) {
            if (wstext::upperCopy(trimmed) == "EOF") break;
            ++notCarried[trimmed.substr(0, 2) == "//" ? "comment lines" : "lines outside any section"];
            continue;
        }
        if (open->kind == Kind::Other) continue;
        // As the old reader: a tag starts in the first column and ends at the first blank.
        const size_t blank = t.find(' ');
        const std::string tag = wstext::upperCopy(t.substr(0, blank));
        const std::string_view value = blank == std::string_view::npos ? std::string_view() : t.substr(blank + 1);
        if (!readTag(*open, tag, value)) ++notCarried[open->kindName + " tag " + tag];
    }
    return objects;
}

std::string regionOf(int64_t x, int64_t y) {
    if (x < 0 || y < 0 || x >= int64_t(wsc::RegionsWide) * wsc::RegionCellsWide ||
        y >= int64_t(wsc::RegionsHigh) * wsc::RegionCellsHigh)
        return std::string(wsc::OverflowFileName);
    return wsc::regionFileName(int(x), int(y));
}

std::string location(const OldObject& o, int facet) {
    return std::to_string(o.x.value_or(0)) + "," + std::to_string(o.y.value_or(0)) + "," +
           std::to_string(o.z.value_or(0)) + "," + std::to_string(facet) + ",0";
}

} // namespace

WscConversion ConvertWorldSaveToFolder(const std::string& itemsWsc, const std::string& dir, const LogSink& log) {
    WscConversion result;
    std::error_code ec;
    if (std::filesystem::is_directory(fsPath(dir), ec)) {
        std::vector<std::string> names = fileSystem().listFolder(dir);
        std::sort(names.begin(), names.end());
        for (const std::string& name : names)
            if (wsc::isWscFileName(name))
                throw Error(dir + " already holds " + name + "; convert into a folder without a world-save", dir);
    }
    const std::string text = readWholeFile(itemsWsc);
    std::vector<OldObject> objects = readOldSave(text, result.notCarried);

    // Serials: every object keeps its own; items without one get new ones after the highest.
    uint32_t highest = wsc::FirstItemSerial - 1;
    std::unordered_map<uint32_t, size_t> bySerial;
    for (size_t i = 0; i < objects.size(); ++i) {
        const OldObject& o = objects[i];
        if (o.kind == Kind::Other || !o.serial) continue;
        const uint32_t s = uint32_t(*o.serial);
        if (s > highest) highest = s;
        if (!bySerial.emplace(s, i).second) ++result.changed["objects with a serial used before (kept as they are)"];
    }
    for (OldObject& o : objects)
        if (o.kind == Kind::Item && !o.serial) {
            if (highest >= wsc::InvalidSerial - 1) throw Error("The serials of " + itemsWsc + " have run out");
            o.serial = int32_t(++highest);
            ++result.changed["world items without SERIAL (given new serials)"];
        }

    // Each object's file: that of where it finally lies.
    constexpr int MaxNesting = 64;
    for (OldObject& o : objects) {
        if (o.kind == Kind::Other) continue;
        const OldObject* at = &o;
        for (int depth = 0; at && at->kind == Kind::Item && at->cont.value_or(-1) != -1; ++depth) {
            const auto found = bySerial.find(uint32_t(*at->cont));
            at = depth < MaxNesting && found != bySerial.end() ? &objects[found->second] : nullptr;
        }
        o.region = at ? regionOf(at->x.value_or(0), at->y.value_or(0)) : std::string(wsc::OverflowFileName);
        if (!at) ++result.changed["items in containers that are not in the save (put into overflow.wsc)"];
    }

    std::map<std::string, std::string> files;
    for (const OldObject& o : objects) {
        if (o.kind == Kind::Other) continue;
        std::string& out = files[o.region];
        if (o.kind == Kind::Character) {
            out += "[CHARACTER]\n";
            if (o.serial) out += "Serial=" + wsc::hexNumber(uint32_t(*o.serial), 8) + "\n";
            if (o.id) out += "ID=" + wsc::hexNumber(uint32_t(*o.id) & 0xFFFF, 4) + "\n";
            if (o.hasName) out += "Name=" + o.name + "\n";
            out += "Location=" + location(o, 0) + "\n";
            ++result.characters;
        } else {
            const uint32_t cont = uint32_t(o.cont.value_or(-1));
            out += "[ITEM]\nSerial=" + wsc::hexNumber(uint32_t(*o.serial), 8) + "\n";
            out += "ID=" + wsc::hexNumber(uint32_t(o.id.value_or(0)) & 0xFFFF, 4) + "\n";
            if (o.hasName) out += "Name=" + o.name + "\n";
            out += "Location=" + location(o, 0) + "\n";
            out += "Colour=" + wsc::hexNumber(uint32_t(o.colour.value_or(0)) & 0xFFFF, 4) + "\n";
            out += "Cont=" + wsc::hexNumber(cont, 8) + "\n";
            out += "Type=" + std::to_string(o.type.value_or(0) & 0xFFFF) + "\n";
            if (o.amount) out += "Amount=" + std::to_string(*o.amount) + "\n";
            ++result.items;
            if (cont != wsc::NotInContainer) ++result.containedItems;
        }
        out += std::string(wsc::RecordEnd) + "\n\n";
    }

    std::filesystem::create_directories(fsPath(dir), ec);
    if (!std::filesystem::is_directory(fsPath(dir), ec)) throw Error("Cannot create the folder " + dir, dir);
    for (const auto& [name, content] : files) writeFileAtomic(fileInFolder(dir, name), content);
    result.regionFiles = int64_t(files.size());
    say(log, "Wrote " + std::to_string(result.items) + " world items (" + std::to_string(result.containedItems) +
                 " in containers) and " + std::to_string(result.characters) + " characters into " +
                 std::to_string(result.regionFiles) + " region files of " + dir);
    for (const auto& [what, count] : result.notCarried)
        say(log, "Not carried over: " + what + " (" + std::to_string(count) + ")");
    for (const auto& [what, count] : result.changed) say(log, "Changed: " + what + " (" + std::to_string(count) + ")");
    return result;
}

} // namespace tq
