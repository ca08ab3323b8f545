#include "tools/synthetic_folder_save.h"

#include "core/file_system.h"
#include "core/random.h"
#include "tools/synthetic_world.h"
#include "worldsave/folder_save_text.h"

#include <algorithm>
#include <map>
#include <memory>

namespace tq {

namespace {

bool chance(uint32_t percent) { return randomBelow(100) < percent; }
int drawRange(int lo, int hi) { return lo + int(randomBelow(uint32_t(hi - lo + 1))); }

const char* const ItemNames[] = {"#", "#", "#", "a wooden chair", "an apple", "Sign of the Golden Goose",
                                 "Caf\xe9 sign", "a crate"};
const char* const CharacterNames[] = {"Aldric", "Brenna", "Corwin", "Dalla", "Edric", "Fenna", "Garrick", "Hilde"};
constexpr uint16_t ContainerIds[] = {0x0E75, 0x0E43, 0x0E76, 0x09AA};

// Every region file of the save, written through a modest buffer each (there are up to 112).
class RegionFiles {
public:
    explicit RegionFiles(std::string dir) : dir_(std::move(dir)) {}
    // Appends one record (its text ends in the blank line after "o---o"); every so many
    // records of a file start a new "---REGION---" part, as the server's parts do.
    void record(const std::string& name, const std::string& text) {
        Region& r = regions_[name];
        if (!r.file) {
            r.file = openFile(dir_.empty() ? name : dir_ + "/" + name, OpenMode::Create);
            r.buffer = "// UOX3 world save: region " + name.substr(0, name.size() - 4) + "\n\n";
        } else if (r.records % PartRecords == 0) {
            r.buffer += "---REGION---\n\n";
        }
        r.buffer += text;
        ++r.records;
        if (r.buffer.size() >= Chunk) flush(r);
    }
    std::vector<std::string> close() {
        std::vector<std::string> names;
        for (auto& [name, r] : regions_) {
            flush(r);
            r.file->close();
            names.push_back(name);
        }
        return names;  // std::map keeps them in name order
    }

private:
    static constexpr size_t Chunk = size_t(256) << 10;
    static constexpr int64_t PartRecords = 40;
    struct Region {
        std::unique_ptr<File> file;
        std::string buffer;
        int64_t records = 0;
    };
    void flush(Region& r) {
        if (!r.buffer.empty()) r.file->write(r.buffer.data(), r.buffer.size());
        r.buffer.clear();
    }
    std::string dir_;
    std::map<std::string, Region> regions_;
};

std::string location(int x, int y, int z, int facet) {
    return "Location=" + std::to_string(x) + "," + std::to_string(y) + "," + std::to_string(z) + "," +
           std::to_string(facet) + ",0\n";
}

} // namespace

SyntheticFolderSummary writeSyntheticFolderSave(const std::string& dir, const WorldGeometry& world, int64_t items,
                                                const Progress& progress) {
    SyntheticFolderSummary s;
    RegionFiles files(dir);
    const int otherFacet = world.facet == 0 ? 1 : 0;
    uint32_t serial = wsc::FirstItemSerial;
    int64_t n = 0;
    auto item = [&](const std::string& region, uint16_t id, const std::string& name, int x, int y, int z, int facet,
                    uint32_t colour, uint32_t cont, int type) {
        std::string r = "[ITEM]\nSerial=" + wsc::hexNumber(serial, 8) + "\n";
        // The server writes hexadecimal; a hand-edited save may not.
        r += chance(2) ? "ID=" + std::to_string(id) + "\n" : "ID=" + wsc::hexNumber(id, 4) + "\n";
        r += "Name=" + name + "\n";
        r += location(x, y, z, facet);
        r += "Colour=" + wsc::hexNumber(colour, 4) + "\n";
        r += "Cont=" + wsc::hexNumber(cont, 8) + "\n";
        r += "Type=" + std::to_string(type) + "\n";
        if (chance(1)) r += "// placed by hand\n";
        r += "Amount=" + std::to_string(chance(20) ? drawRange(2, 500) : 1) + "\n";
        r += "Decay=" + std::to_string(chance(50) ? 1 : 0) + "\n";
        if (chance(5)) r += "PoisonCharges\n";
        r += "o---o\n\n";
        files.record(region, r);
        s.highestSerial = serial++;
        ++s.worldItems;
        ++n;
        if (cont != wsc::NotInContainer) ++s.containedItems;
        if (type == 255 && cont != wsc::NotInContainer) ++s.type255InContainers;
        else if (type == 255 && facet == world.facet) ++s.type255Items;
        else if (type == 255) ++s.type255OtherFacet;
        if (type == 0 && cont == wsc::NotInContainer && facet == world.facet && isAutoId(id)) ++s.autoItems;
        if (n % 65536 == 0) {
            progress.report(70 + int(n * 25 / std::max<int64_t>(items, 1)));
            progress.pumpEvents();
        }
    };

    const int64_t characterEvery = 97, spawnerEvery = 499;
    while (n < items) {
        const int x = drawRange(0, world.cellsWide() - 1), y = drawRange(0, world.cellsHigh() - 1);
        const int z = chance(50) ? 0 : drawRange(-5, 60);
        const std::string region = wsc::regionFileName(x, y);
        if (n % characterEvery == 50 && s.characters < 0x3FFFFFFF) {
            const auto c = uint32_t(++s.characters);
            files.record(region, "[CHARACTER]\nSerial=" + wsc::hexNumber(c, 8) + "\nID=0x0190\nName=" +
                                     CharacterNames[c % 8] + "\n" + location(x, y, z, world.facet) +
                                     "Account=" + std::to_string(c % 500) + "\nStrength=" +
                                     std::to_string(drawRange(10, 100)) + "\no---o\n\n");
        }
        if (n % spawnerEvery == 250) {
            files.record(region, "[SPAWNITEM]\nSerial=" + wsc::hexNumber(serial, 8) + "\nID=0x1f13\nName=#\n" +
                                     location(x, y, z, world.facet) +
                                     "Cont=0xffffffff\nType=62\nInterval=5,10\nSpawnSection=orc\no---o\n\n");
            s.highestSerial = serial++;
            ++s.spawners;
        }
        const int facet = chance(5) ? otherFacet : world.facet;
        const uint32_t colour = chance(85) ? 0 : uint32_t(drawRange(1, 0x0BB8));
        const uint32_t kind = randomBelow(1000);
        if (kind < 30) {  // a container on the ground and what lies in it, in its region file
            const uint32_t container = serial;
            item(region, ContainerIds[randomBelow(4)], "#", x, y, z, facet, 0, wsc::NotInContainer, 1);
            ++s.containers;
            for (int k = drawRange(1, 6); k > 0 && n < items; --k) {
                const int type = chance(30) ? 255 : 0;
                const uint16_t id = chance(30) ? syntheticAutoSelectIds()[randomBelow(8)] : drawPlainItemId();
                item(region, id, "#", drawRange(20, 150), drawRange(40, 140), 0, facet, colour, container, type);
            }
        } else if (kind < 70) {
            item(region, drawPlainItemId(), ItemNames[randomBelow(8)], x, y, z, facet, colour, wsc::NotInContainer,
                 255);
        } else if (kind < 100) {  // the "auto" rule's items
            item(region, syntheticAutoSelectIds()[randomBelow(8)], "#", x, y, z, facet, colour, wsc::NotInContainer,
                 0);
        } else if (kind < 110) {  // a listed id on a door: not for "auto"
            item(region, syntheticAutoSelectIds()[randomBelow(8)], "#", x, y, z, facet, colour, wsc::NotInContainer,
                 12);
        } else {
            item(region, drawPlainItemId(), ItemNames[randomBelow(8)], x, y, z, facet, colour, wsc::NotInContainer,
                 kind < 130 ? 9 : 0);
        }
    }
    // A save always holds a few characters, however small.
    while (s.characters < 3) {
        const auto c = uint32_t(++s.characters);
        files.record(wsc::regionFileName(0, 0), "[CHARACTER]\nSerial=" + wsc::hexNumber(c, 8) + "\nName=" +
                                                    CharacterNames[c % 8] + "\n" + location(c, c, 0, world.facet) +
                                                    "o---o\n\n");
    }
    s.files = files.close();
    return s;
}

} // namespace tq
