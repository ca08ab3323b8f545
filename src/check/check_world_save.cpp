#include "check/check_world_save.h"

#include "core/error.h"
#include "core/facets.h"
#include "core/file_system.h"
#include "worldsave/folder_save_text.h"
#include "worldsave/world_save_format.h"
#include "worldsave/world_save_text.h"

#include <algorithm>
#include <optional>
#include <vector>

namespace tq {

namespace {

struct Mention {
    uint32_t serial;
    uint32_t line;
    uint32_t file;  // into Save::files
};

// What the whole save says about serials, gathered file by file and judged at the end.
struct Serials {
    std::vector<std::string> files;
    std::vector<Mention> objects;    // every object with a serial
    std::vector<Mention> contained;  // the containers items say they lie in
};

std::string serialText(uint32_t serial) { return wsc::hexNumber(serial, 8); }
std::string lineText(uint32_t line) { return "line " + std::to_string(line); }

class SaveChecker {
public:
    SaveChecker(const FacetWorlds& worlds, CheckReport& report) : worlds_(worlds), report_(report) {}

    void outsideMap(const std::string& file, uint32_t line, uint32_t serial, int64_t x, int64_t y, int64_t facet) {
        if (isFacet(int(facet))) {
            const WorldGeometry world = worlds_(int(facet));
            if (world.validCell(int(std::clamp<int64_t>(x, -1, INT32_MAX)), int(std::clamp<int64_t>(y, -1, INT32_MAX))))
                return;
            report_.add({Severity::Error, file, KindItemOutsideMap, lineText(line),
                         "item " + serialText(serial) + " lies at (" + std::to_string(x) + ", " + std::to_string(y) +
                             "), outside the map of facet " + std::to_string(facet) + " (" +
                             std::to_string(world.cellsWide()) + " \u00d7 " + std::to_string(world.cellsHigh()) +
                             " cells)"});
        } else {
            report_.add({Severity::Error, file, KindItemOutsideMap, lineText(line),
                         "item " + serialText(serial) + " lies in world " + std::to_string(facet) +
                             ", which is no facet (facets are 0 to " + std::to_string(FacetCount - 1) + ")"});
        }
    }
    void bad(const std::string& file, uint32_t line, const std::string& what) {
        report_.add({Severity::Error, file, KindBadRecord, lineText(line), what});
    }

    // The single file of SECTION objects: the numbers the reader takes must read, as must SERIAL.
    void singleFile(const std::string& path, uint32_t fileNo, Serials& serials, const Progress& progress) {
        using namespace wstext;
        const std::string text = readWholeFile(path);
        enum class In { Nothing, Item, Character } in = In::Nothing;
        uint32_t serial = 0;
        bool hasSerial = false;
        uint32_t sectionLine = 0;
        int32_t x = 0, y = 0, cont = -1;
        bool hasCont = false;
        auto number = [&](std::string_view value, uint32_t line) -> std::optional<int32_t> {
            try {
                return parseValue(value);
            } catch (const Error& e) {
                bad(path, line, e.what());
                return std::nullopt;
            }
        };
        auto close = [&] {
            if (in == In::Nothing) return;
            if (hasSerial) serials.objects.push_back({serial, sectionLine, fileNo});
            if (in == In::Item) {
                if (hasCont && cont != -1) serials.contained.push_back({uint32_t(cont), sectionLine, fileNo});
                else outsideMapIfSo(path, sectionLine, serial, x, y);
            }
            in = In::Nothing;
        };
        LineReader reader(text);
        Line l;
        uint32_t lineNo = 0;
        while (reader.next(l)) {
            ++lineNo;
            if ((lineNo & 0xFFFF) == 0) progress.pumpEvents();
            const std::string_view s = l.text;
            if (s.empty()) continue;
            if (startsWithNoCase(s, "SECTION ")) {
                close();
                sectionLine = lineNo;
                serial = 0;
                hasSerial = false;
                x = y = 0;
                cont = -1;
                hasCont = false;
                if (startsWithNoCase(s, WorldItemHeader)) {
                    in = number(s.substr(WorldItemWord), lineNo) ? In::Item : In::Nothing;
                } else if (startsWithNoCase(s, "SECTION CHARACTER ")) {
                    in = In::Character;
                }
                continue;
            }
            if (s[0] == '}') {
                close();
                continue;
            }
            if (in == In::Nothing) continue;
            if (startsWithNoCase(s, "SERIAL ")) {
                if (auto v = number(s.substr(7), lineNo)) serial = uint32_t(*v), hasSerial = true;
            } else if (in == In::Item) {
                if (startsWithNoCase(s, "X ")) x = number(s.substr(2), lineNo).value_or(0);
                else if (startsWithNoCase(s, "Y ")) y = number(s.substr(2), lineNo).value_or(0);
                else if (startsWithNoCase(s, "CONT ")) {
                    if (auto v = number(s.substr(5), lineNo)) cont = *v, hasCont = true;
                } else if (startsWithNoCase(s, "ID ")) number(s.substr(3), lineNo);
                else if (startsWithNoCase(s, "Z ")) number(s.substr(2), lineNo);
                else if (startsWithNoCase(s, "TYPE ")) number(s.substr(5), lineNo);
            }
        }
        close();
    }

    // A region file of [KIND] records ended by "o---o".
    void regionFile(const std::string& path, uint32_t fileNo, Serials& serials) {
        const std::string text = readWholeFile(path);
        wsc::forEachRecord(text, [&](const wsc::Record& r) {
            if (!r.closed) bad(path, r.line, "the [" + std::string(r.kind) + "] record is not ended by " +
                                                 std::string(wsc::RecordEnd));
            auto number = [&](const std::optional<wsc::Value>& v, const char* key) -> std::optional<uint32_t> {
                if (!v) return std::nullopt;
                if (auto n = wsc::parseNumber(v->text)) return n;
                bad(path, v->line, "'" + std::string(v->text) + "' is not a valid number for " + key);
                return std::nullopt;
            };
            const std::optional<uint32_t> serial = number(r.serial, "Serial");
            number(r.id, "Id");
            number(r.type, "Type");
            number(r.colour, "Colour");
            const std::optional<uint32_t> cont = number(r.cont, "Cont");
            if (serial) serials.objects.push_back({*serial, r.line, fileNo});
            if (!r.isKind(wsc::ItemKind)) return;
            if (cont && *cont != wsc::NotInContainer) {
                serials.contained.push_back({*cont, r.line, fileNo});
                return;
            }
            if (!r.location) return;
            try {
                const wsc::Location at = wsc::requireLocation(*r.location, path);
                outsideMap(path, r.line, serial.value_or(0), at.x, at.y, at.world);
            } catch (const Error&) {
                // requireLocation's message names the file and line already; the finding has them apart.
                bad(path, r.location->line,
                    "'" + std::string(r.location->text) + "' is not a valid Location (x,y,z,world,instance)");
            }
        });
    }

private:
    void outsideMapIfSo(const std::string& file, uint32_t line, uint32_t serial, int32_t x, int32_t y) {
        outsideMap(file, line, serial, x, y, 0);
    }
    const FacetWorlds& worlds_;
    CheckReport& report_;
};

} // namespace

void CheckWorldSave(const std::string& path, const FacetWorlds& worlds, CheckReport& report,
                    const Progress& progress) {
    const WorldSave save = DetectWorldSave(path);
    Serials serials;
    SaveChecker checker(worlds, report);
    if (save.format == WorldSaveFormat::SingleFile) {
        if (!fileExists(save.path)) throw Error(msg::FileNotFound, save.path);
        serials.files.push_back(save.path);
        report.checked(save.path, "world-save, one file of SECTION objects");
        checker.singleFile(save.path, 0, serials, progress);
    } else {
        report.checked(save.path, "world-save, a folder of " + std::to_string(save.files.size()) + " region files");
        for (size_t i = 0; i < save.files.size(); ++i) {
            serials.files.push_back(save.files[i]);
            checker.regionFile(save.files[i], uint32_t(i), serials);
            progress.report(int((i + 1) * 90 / save.files.size()));
            progress.pumpEvents();
        }
    }

    // Serials: each used once, each container one of them.
    auto bySerial = [](const Mention& a, const Mention& b) {
        return a.serial != b.serial ? a.serial < b.serial : (a.file != b.file ? a.file < b.file : a.line < b.line);
    };
    std::sort(serials.objects.begin(), serials.objects.end(), bySerial);
    for (size_t i = 1; i < serials.objects.size(); ++i) {
        const Mention& first = serials.objects[i - 1];
        const Mention& again = serials.objects[i];
        if (again.serial != first.serial) continue;
        const std::string firstAt = again.file == first.file ? lineText(first.line)
                                                              : serials.files[first.file] + " " + lineText(first.line);
        report.add({Severity::Error, serials.files[again.file], KindDuplicateSerial, lineText(again.line),
                    "serial " + serialText(again.serial) + " is already used at " + firstAt});
    }
    std::sort(serials.contained.begin(), serials.contained.end(),
              [](const Mention& a, const Mention& b) { return a.file != b.file ? a.file < b.file : a.line < b.line; });
    for (const Mention& m : serials.contained) {
        const bool exists = std::binary_search(serials.objects.begin(), serials.objects.end(), m,
                                               [](const Mention& a, const Mention& b) { return a.serial < b.serial; });
        if (!exists)
            report.add({Severity::Error, serials.files[m.file], KindMissingContainer, lineText(m.line),
                        "the item lies in container " + serialText(m.serial) + ", which is no object of the save"});
    }
    progress.report(100);
}

} // namespace tq
