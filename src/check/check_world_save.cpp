#include "check/check_world_save.h"

#include "core/error.h"
#include "core/facets.h"
#include "core/file_system.h"
#include "worldsave/folder_save_text.h"
#include "worldsave/world_save_format.h"
#include "worldsave/world_save_text.h"

#include <algorithm>
#include <cstring>
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

// Calls `visit(line, number)` for each line of a file (without its line end, as LineReader
// gives it), reading the file in pieces: a save can be larger than is worth holding whole.
template <typename Visit>
void forEachLine(const std::string& path, const Progress& progress, Visit&& visit) {
    constexpr size_t Piece = size_t(4) << 20;
    auto file = openFile(path, OpenMode::Read);
    const uint64_t size = file->size();
    std::vector<char> buffer(Piece);
    uint64_t read = 0;
    size_t have = 0;
    uint32_t number = 0;
    while (true) {
        if (have == buffer.size()) buffer.resize(buffer.size() * 2);  // one line longer than a piece
        const size_t n = size_t(std::min<uint64_t>(buffer.size() - have, size - read));
        file->read(buffer.data() + have, n);
        read += n;
        have += n;
        // Whole lines only, but for the file's last piece; the rest waits for the next one.
        const char* base = buffer.data();
        size_t whole = have;
        if (read < size) {
            while (whole > 0 && base[whole - 1] != '\n') --whole;
        }
        wstext::LineReader lines(std::string_view(base, whole));
        wstext::Line line;
        while (lines.next(line)) visit(line.text, ++number);
        if (read == size) return;
        const size_t start = whole;
        std::memmove(buffer.data(), base + start, have - start);
        have -= start;
        progress.pumpEvents();
    }
}

// Orders mentions by serial, equal serials in the order they were met. A save lists most
// objects in serial order already (items, then characters), so the few ascending runs are
// merged in linear time; anything less ordered is sorted.
void sortBySerial(std::vector<Mention>& m) {
    auto less = [](const Mention& a, const Mention& b) { return a.serial < b.serial; };
    std::vector<size_t> runs = {0};
    for (size_t i = 1; i < m.size() && runs.size() <= 16; ++i)
        if (m[i].serial < m[i - 1].serial) runs.push_back(i);
    if (runs.size() > 16) {
        std::stable_sort(m.begin(), m.end(), less);
        return;
    }
    for (size_t r = 1; r < runs.size(); ++r)
        std::inplace_merge(m.begin(), m.begin() + std::ptrdiff_t(runs[r]),
                           r + 1 < runs.size() ? m.begin() + std::ptrdiff_t(runs[r + 1]) : m.end(), less);
}

class SaveChecker {
public:
    SaveChecker(const FacetWorlds& worlds, CheckReport& report) : worlds_(worlds), report_(report) {}

    void outsideMap(const std::string& file, uint32_t line, uint32_t serial, int64_t x, int64_t y, int64_t facet) {
        if (isFacet(int(facet))) {
            std::optional<WorldGeometry>& known = facetWorlds_[size_t(facet)];
            if (!known) known = worlds_(int(facet));
            const WorldGeometry& world = *known;
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
        enum class In { Nothing, Item, Character } in = In::Nothing;
        uint32_t serial = 0;
        bool hasSerial = false;
        uint32_t sectionLine = 0;
        int32_t x = 0, y = 0, cont = -1;
        bool hasCont = false;
        auto number = [&](std::string_view value, uint32_t line, int32_t& out) {
            try {
                out = parseValue(value);
                return true;
            } catch (const Error& e) {
                bad(path, line, e.what());
                return false;
            }
        };
        auto close = [&] {
            if (in == In::Nothing) return;
            if (hasSerial) serials.objects.push_back({serial, sectionLine, fileNo});
            if (in == In::Item) {
                if (hasCont && cont != -1) serials.contained.push_back({uint32_t(cont), sectionLine, fileNo});
                else outsideMap(path, sectionLine, serial, x, y, 0);
            }
            in = In::Nothing;
        };
        forEachLine(path, progress, [&](std::string_view s, uint32_t lineNo) {
            if (s.empty()) return;
            int32_t v = 0;
            switch (upperAscii(s[0])) {
            case 'S':
                if (startsWithNoCase(s, "SECTION ")) {
                    close();
                    sectionLine = lineNo;
                    serial = 0;
                    hasSerial = hasCont = false;
                    x = y = 0;
                    cont = -1;
                    if (startsWithNoCase(s, WorldItemHeader)) in = number(s.substr(WorldItemWord), lineNo, v) ? In::Item : In::Nothing;
                    else if (startsWithNoCase(s, "SECTION CHARACTER ")) in = In::Character;
                } else if (in != In::Nothing && startsWithNoCase(s, "SERIAL ") && number(s.substr(7), lineNo, v)) {
                    serial = uint32_t(v);
                    hasSerial = true;
                }
                return;
            case '}':
                close();
                return;
            default:
                break;
            }
            if (in != In::Item) return;
            switch (upperAscii(s[0])) {
            case 'X':
                if (startsWithNoCase(s, "X ") && number(s.substr(2), lineNo, v)) x = v;
                break;
            case 'Y':
                if (startsWithNoCase(s, "Y ") && number(s.substr(2), lineNo, v)) y = v;
                break;
            case 'C':
                if (startsWithNoCase(s, "CONT ") && number(s.substr(5), lineNo, v)) cont = v, hasCont = true;
                break;
            case 'I':
                if (startsWithNoCase(s, "ID ")) number(s.substr(3), lineNo, v);
                break;
            case 'Z':
                if (startsWithNoCase(s, "Z ")) number(s.substr(2), lineNo, v);
                break;
            case 'T':
                if (startsWithNoCase(s, "TYPE ")) number(s.substr(5), lineNo, v);
                break;
            default:
                break;
            }
        });
        close();
    }

    // A region file of [KIND] records ended by "o---o".
    void regionFile(const std::string& path, uint32_t fileNo, Serials& serials) {
        readInto(path, text_);
        wsc::forEachRecord(text_, [&](const wsc::Record& r) {
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
    // Reads a whole file into `text`, whose memory is kept from one region file to the next.
    static void readInto(const std::string& path, std::string& text) {
        auto file = openFile(path, OpenMode::Read);
        text.resize(size_t(file->size()));
        file->read(text.data(), text.size());
    }
    std::string text_;
    std::optional<WorldGeometry> facetWorlds_[FacetCount];
    const FacetWorlds& worlds_;
    CheckReport& report_;
};

} // namespace

void CheckWorldSave(const std::string& path, const FacetWorlds& worlds, CheckReport& report,
                    const Progress& progress) {
    const WorldSave save = DetectWorldSave(path);
    Serials serials;
    // A world item takes some hundred bytes of text: enough room for most saves at once.
    serials.objects.reserve(size_t(std::min<uint64_t>(fileSystem().fileSize(save.path) / 96, 1u << 24)));
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
    sortBySerial(serials.objects);
    for (size_t i = 1; i < serials.objects.size(); ++i) {
        const Mention& first = serials.objects[i - 1];
        const Mention& again = serials.objects[i];
        if (again.serial != first.serial) continue;
        const std::string firstAt = again.file == first.file ? lineText(first.line)
                                                              : serials.files[first.file] + " " + lineText(first.line);
        report.add({Severity::Error, serials.files[again.file], KindDuplicateSerial, lineText(again.line),
                    "serial " + serialText(again.serial) + " is already used at " + firstAt});
    }
    // `contained` is in file and line order already, as the findings should be.
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
