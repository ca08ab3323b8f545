#include "check/check_world_save.h"

#include "check/section_save_scan.h"
#include "check/serial_sets.h"
#include "core/error.h"
#include "core/facets.h"
#include "core/file_system.h"
#include "worldsave/folder_save_text.h"
#include "worldsave/world_save_format.h"

#include <algorithm>
#include <optional>

namespace tq {

namespace {

struct Mention {
    uint32_t serial;
    uint32_t line;
    uint32_t file;  // into the save's files
};

std::string serialText(uint32_t serial) { return wsc::hexNumber(serial, 8); }
std::string lineText(uint32_t line) { return "line " + std::to_string(line); }

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

// Each object whose serial an object before it in `objects` (in serial order, equal serials
// in the order met) already has.
void reportUsedTwice(const std::vector<Mention>& objects, const std::vector<std::string>& files, CheckReport& report) {
    for (size_t i = 1; i < objects.size(); ++i) {
        const Mention& first = objects[i - 1];
        const Mention& again = objects[i];
        if (again.serial != first.serial) continue;
        const std::string firstAt =
            again.file == first.file ? lineText(first.line) : files[first.file] + " " + lineText(first.line);
        report.add({Severity::Error, files[again.file], KindDuplicateSerial, lineText(again.line),
                    "serial " + serialText(again.serial) + " is already used at " + firstAt});
    }
}

void reportMissing(const std::string& file, uint32_t line, uint32_t container, CheckReport& report) {
    report.add({Severity::Error, file, KindMissingContainer, lineText(line),
                "the item lies in container " + serialText(container) + ", which is no object of the save"});
}

// The region files of a folder save: [KIND] records ended by "o---o".
class RegionChecker {
public:
    RegionChecker(const FacetWorlds& worlds, CheckReport& report) : worlds_(worlds), report_(report) {}

    void outsideMap(const std::string& file, uint32_t line, uint32_t serial, int64_t x, int64_t y, int64_t facet) {
        if (isFacet(int(facet))) {
            std::optional<WorldGeometry>& known = facetWorlds_[size_t(facet)];
            if (!known) known = worlds_(int(facet));
            if (known->validCell(int(std::clamp<int64_t>(x, -1, INT32_MAX)), int(std::clamp<int64_t>(y, -1, INT32_MAX))))
                return;
            report_.add({Severity::Error, file, KindItemOutsideMap, lineText(line),
                         ItemOutsideMapText(serial, x, y, facet, *known)});
        } else {
            report_.add({Severity::Error, file, KindItemOutsideMap, lineText(line),
                         "item " + serialText(serial) + " lies in world " + std::to_string(facet) +
                             ", which is no facet (facets are 0 to " + std::to_string(FacetCount - 1) + ")"});
        }
    }
    void bad(const std::string& file, uint32_t line, const std::string& what) {
        report_.add({Severity::Error, file, KindBadRecord, lineText(line), what});
    }

    // Checks one region file, read into `text` (memory kept from one file to the next), and
    // marks the serials of its objects and the containers its items name.
    void file(const std::string& path, std::string& text, SerialSet& objects, SerialSet& containers) {
        readInto(path, text);
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
            if (serial) objects.add(*serial);
            if (!r.isKind(wsc::ItemKind)) return;
            if (cont && *cont != wsc::NotInContainer) {
                containers.add(*cont);
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

    // A second reading of a region file, only when the serials were found wanting: the objects
    // whose serial is in `usedTwice` and the items in a container of `missing` (both sorted),
    // with their lines, as the first reading met them.
    static void findMentions(const std::string& path, uint32_t fileNo, std::string& text,
                             const std::vector<uint32_t>& usedTwice, const std::vector<uint32_t>& missing,
                             std::vector<Mention>& objects, std::vector<Mention>& contained) {
        readInto(path, text);
        wsc::forEachRecord(text, [&](const wsc::Record& r) {
            auto number = [](const std::optional<wsc::Value>& v) { return v ? wsc::parseNumber(v->text) : std::nullopt; };
            const std::optional<uint32_t> serial = number(r.serial);
            if (serial && std::binary_search(usedTwice.begin(), usedTwice.end(), *serial))
                objects.push_back({*serial, r.line, fileNo});
            if (!r.isKind(wsc::ItemKind)) return;
            const std::optional<uint32_t> cont = number(r.cont);
            if (cont && *cont != wsc::NotInContainer && std::binary_search(missing.begin(), missing.end(), *cont))
                contained.push_back({*cont, r.line, fileNo});
        });
    }

private:
    // Reads a whole file into `text`.
    static void readInto(const std::string& path, std::string& text) {
        auto file = openFile(path, OpenMode::Read);
        text.resize(size_t(file->size()));
        file->read(text.data(), text.size());
    }
    std::optional<WorldGeometry> facetWorlds_[FacetCount];
    const FacetWorlds& worlds_;
    CheckReport& report_;
};

} // namespace

std::string ItemOutsideMapText(uint32_t serial, int64_t x, int64_t y, int64_t facet, const WorldGeometry& world) {
    return "item " + serialText(serial) + " lies at (" + std::to_string(x) + ", " + std::to_string(y) +
           "), outside the map of facet " + std::to_string(facet) + " (" + std::to_string(world.cellsWide()) +
           " \u00d7 " + std::to_string(world.cellsHigh()) + " cells)";
}

struct WorldSaveCheck::Regions {
    // Region files [first, end) of the folder, checked together.
    struct Group {
        size_t first = 0, end = 0;
        CheckReport found;  // the findings of its files, in file and line order
        SerialSet objects, containers;
    };
    std::vector<Group> groups;
    // Found by a second reading, only when there are any: the objects whose serial another
    // has, and the items in a container no object is.
    std::vector<Mention> usedTwice, inMissing;
};

WorldSaveCheck::WorldSaveCheck(const std::string& path, FacetWorlds worlds, size_t parts, uint64_t leastPiece)
    : path_(path), worlds_(std::move(worlds)) {
    try {
        const WorldSave save = DetectWorldSave(path);
        path_ = save.path;
        singleFile_ = save.format == WorldSaveFormat::SingleFile;
        if (singleFile_) {
            if (!fileExists(save.path)) throw Error(msg::FileNotFound, save.path);
            files_ = {save.path};
            bytes_ = fileSystem().fileSize(save.path);
            const size_t count = size_t(std::clamp<uint64_t>(bytes_ / std::max<uint64_t>(leastPiece, 1), 1, std::max<size_t>(parts, 1)));
            const std::vector<uint64_t> cuts =
                count > 1 ? SectionCuts(save.path, bytes_, count) : std::vector<uint64_t>{0, bytes_};
            pieces_.resize(cuts.size() - 1);
            unscanned_ = pieces_.size();
            for (size_t i = 0; i + 1 < cuts.size(); ++i) {
                pieces_[i].begin = cuts[i];
                pieces_[i].end = cuts[i + 1];
            }
        } else {
            files_ = save.files;
            std::vector<uint64_t> sizes;
            for (const std::string& f : files_) bytes_ += sizes.emplace_back(fileSystem().fileSize(f));
            // Groups of files of like size in all, in file order.
            regions_ = std::make_unique<Regions>();
            const size_t count = size_t(std::clamp<uint64_t>(bytes_ / std::max<uint64_t>(leastPiece, 1), 1,
                                                              std::max<size_t>(std::min(parts, files_.size()), 1)));
            uint64_t done = 0;
            size_t first = 0;
            for (size_t g = 0; g < count; ++g) {
                size_t end = first;
                const uint64_t upTo = bytes_ * (g + 1) / count;
                while (end < files_.size() && (end == first || done + sizes[end] / 2 < upTo || g + 1 == count))
                    done += sizes[end++];
                if (end == first) break;
                regions_->groups.emplace_back().first = first;
                regions_->groups.back().end = end;
                first = end;
            }
            if (regions_->groups.empty()) regions_->groups.emplace_back();
            unscanned_ = regions_->groups.size();
        }
    } catch (...) {
        error_ = std::current_exception();
    }
}

WorldSaveCheck::~WorldSaveCheck() = default;

size_t WorldSaveCheck::parts() const {
    if (regions_) return regions_->groups.size();
    return pieces_.empty() ? 1 : pieces_.size();
}

void WorldSaveCheck::scan(size_t part, Scratch& scratch, const std::function<void(uint64_t)>& advance) {
    if (error_) std::rethrow_exception(error_);
    if (!singleFile_) {
        scanRegionFiles(part, scratch, advance);
        if (unscanned_.fetch_sub(1) == 1) judgeRegions();
        return;
    }
    SectionPiece& piece = pieces_[part];
    SectionScanOptions options;
    options.ground = worlds_(0);
    options.advance = advance;
    ScanSectionPiece(path_, piece, options, scratch.bytes);
    if (unscanned_.fetch_sub(1) == 1) judgeSections();
}

void WorldSaveCheck::scanRegionFiles(size_t part, Scratch& scratch, const std::function<void(uint64_t)>& advance) {
    Regions::Group& group = regions_->groups[part];
    RegionChecker checker(worlds_, group.found);
    for (size_t i = group.first; i < group.end; ++i) {
        checker.file(files_[i], scratch.text, group.objects, group.containers);
        if (advance) advance(fileSystem().fileSize(files_[i]));
    }
}

void WorldSaveCheck::judgeRegions() {
    std::vector<const SerialSet*> objects, containers;
    for (const Regions::Group& g : regions_->groups) {
        objects.push_back(&g.objects);
        containers.push_back(&g.containers);
    }
    const SerialVerdict verdict = JudgeSerials(objects, containers);
    if (verdict.usedTwice.empty() && verdict.missing.empty()) return;
    std::string text;
    for (size_t i = 0; i < files_.size(); ++i)
        RegionChecker::findMentions(files_[i], uint32_t(i), text, verdict.usedTwice, verdict.missing, regions_->usedTwice,
                                    regions_->inMissing);
    sortBySerial(regions_->usedTwice);
}

void WorldSaveCheck::finish(CheckReport& report) {
    if (error_) std::rethrow_exception(error_);
    if (singleFile_) {
        finishSections(report);
        return;
    }
    report.checked(path_, "world-save, a folder of " + std::to_string(files_.size()) + " region files");
    for (const Regions::Group& g : regions_->groups) report.append(g.found);
    reportUsedTwice(regions_->usedTwice, files_, report);
    for (const Mention& m : regions_->inMissing) reportMissing(files_[m.file], m.line, m.serial, report);
}

void WorldSaveCheck::judgeSections() {
    // Each piece counts its lines from its own start.
    base_.assign(pieces_.size(), 0);
    for (size_t i = 1; i < pieces_.size(); ++i) base_[i] = base_[i - 1] + pieces_[i - 1].lines;

    std::vector<const SerialSet*> objects, containers;
    for (const SectionPiece& piece : pieces_) {
        objects.push_back(&piece.serials);
        containers.push_back(&piece.containers);
    }
    const SerialVerdict verdict = JudgeSerials(objects, containers);
    if (verdict.usedTwice.empty() && verdict.missing.empty()) return;
    // Rare, and only then are lines needed: a second scan finds those of the objects whose
    // serial is used twice and of the items in a missing container.
    std::vector<char> buffer;
    for (size_t i = 0; i < pieces_.size(); ++i) {
        SectionPiece again;
        again.begin = pieces_[i].begin;
        again.end = pieces_[i].end;
        std::vector<SaveMention> found, inMissing;
        SectionScanOptions options;
        options.ground = worlds_(0);
        options.wanted = &verdict.usedTwice;
        options.found = &found;
        options.missing = &verdict.missing;
        options.inMissing = &inMissing;
        ScanSectionPiece(path_, again, options, buffer);
        for (const SaveMention& m : found) usedTwice_.push_back({m.serial, base_[i] + m.line});
        for (const SaveMention& m : inMissing) inMissing_.push_back({m.serial, base_[i] + m.line});
    }
    std::stable_sort(usedTwice_.begin(), usedTwice_.end(),
                     [](const SaveMention& a, const SaveMention& b) { return a.serial < b.serial; });
}

void WorldSaveCheck::finishSections(CheckReport& report) {
    report.checked(path_, "world-save, one file of SECTION objects");
    for (size_t i = 0; i < pieces_.size(); ++i) {
        const SectionPiece& piece = pieces_[i];
        for (const SaveFinding& f : piece.findings)
            report.add({Severity::Error, path_, f.kind, lineText(base_[i] + f.line), f.what});
        report.addUnlisted(path_, KindBadRecord, piece.unlistedBad);
        report.addUnlisted(path_, KindItemOutsideMap, piece.unlistedOutside);
    }
    std::vector<Mention> twice;
    for (const SaveMention& m : usedTwice_) twice.push_back({m.serial, m.line, 0});
    reportUsedTwice(twice, files_, report);
    for (const SaveMention& m : inMissing_) reportMissing(path_, m.line, m.serial, report);
}

} // namespace tq
