#include "tools/synthetic_world.h"

#include "core/bytes.h"
#include "core/file_system.h"
#include "core/named_tiles.h"
#include "core/radar_colours.h"
#include "core/random.h"
#include "core/spaced_hex.h"
#include "core/uop/container.h"
#include "core/uop/map_convert.h"
#include "core/utf8_path.h"
#include "core/world.h"
#include "mapedit/client_files.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <filesystem>
#include <memory>

namespace tq {

namespace {

std::string joinPath(const std::string& dir, const char* name) {
    if (dir.empty()) return name;
    const char last = dir.back();
    if (last == '/' || last == '\\') return dir + name;
    return dir + "/" + name;
}

// All randomness comes from the shared generator, so a seed fixes every byte.
bool chance(uint32_t percent) { return randomBelow(100) < percent; }
int drawRange(int lo, int hi) { return lo + int(randomBelow(uint32_t(hi - lo + 1))); }
template <class T, size_t N>
T pick(const T (&items)[N]) {
    return items[randomBelow(uint32_t(N))];
}
template <class T>
T pick(const std::vector<T>& items) {
    return items[randomBelow(uint32_t(items.size()))];
}

// A deterministic hash for picture patterns (independent of draw order).
uint32_t mix(uint32_t a, uint32_t b, uint32_t c = 0) {
    uint32_t h = a * 0x9E3779B1u ^ (b + 0x7F4A7C15u) * 0x85EBCA77u ^ (c + 0x165667B1u) * 0xC2B2AE3Du;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    return h;
}

// --- land ----------------------------------------------------------------------------

// Index of the last group whose ids can have a picture (the "Weird" groups lie above
// tile id 4095, where the client keeps no land pictures).
constexpr int LastPicturedGroup = 37;
constexpr int FirstBuiltGroup = 13;  // bricks, floors, marble, stone: town ground

constexpr int RegionCells = 16;  // land is planned in squares of 2 x 2 blocks

// The world being made; one per run.
struct Layout {
    WorldGeometry world;
    int regionsX = 0, regionsY = 0;  // 384 x 256 for the old clients' world
    explicit Layout(const WorldGeometry& w)
        : world(w), regionsX((w.cellsWide() + RegionCells - 1) / RegionCells),
          regionsY((w.cellsHigh() + RegionCells - 1) / RegionCells) {}
};

// Smooth random field 0..1 over the regions: random values on a coarse grid, blended
// between grid points, two scales added. Gives continents rather than a patchwork.
class ValueNoise {
public:
    explicit ValueNoise(const Layout& layout)
        : coarseX_((layout.regionsX - 1) / 32 + 2), fineX_((layout.regionsX - 1) / 8 + 2),
          coarse_(size_t(coarseX_ * ((layout.regionsY - 1) / 32 + 2))),
          fine_(size_t(fineX_ * ((layout.regionsY - 1) / 8 + 2))) {
        for (auto& v : coarse_) v = float(randomBelow(10000)) / 10000.0f;
        for (auto& v : fine_) v = float(randomBelow(10000)) / 10000.0f;
    }
    float at(int rx, int ry) const {
        return 0.7f * sample(coarse_.data(), coarseX_, 32, rx, ry) + 0.3f * sample(fine_.data(), fineX_, 8, rx, ry);
    }

private:
    static float sample(const float* grid, int width, int step, int rx, int ry) {
        const int gx = rx / step, gy = ry / step;
        const float fx = float(rx % step) / float(step), fy = float(ry % step) / float(step);
        auto g = [&](int x, int y) { return grid[y * width + x]; };
        const float top = g(gx, gy) + (g(gx + 1, gy) - g(gx, gy)) * fx;
        const float bottom = g(gx, gy + 1) + (g(gx + 1, gy + 1) - g(gx, gy + 1)) * fx;
        return top + (bottom - top) * fy;
    }
    // Grid points cover the last region and one beyond (the blend reads gx + 1).
    int coarseX_, fineX_;
    std::vector<float> coarse_, fine_;
};

// Group indices of the natural ground (see NamedTiles).
enum Ground { Cave = 0, Cobblestones = 1, Desert = 2, DirtBig = 3, DirtSmall = 4, Forest = 5, Grass = 6,
              Jungle = 7, Lava = 8, Mountain = 9, Snow = 10, Stars = 11, Water = 12 };

struct LandPlan {
    std::vector<uint8_t> group;  // per cell, x-major: x * cellsHigh + y
    std::vector<int8_t> altitude;
    std::vector<bool> flat;
};

std::unique_ptr<LandPlan> planLand(const Layout& layout) {
    const int cellsX = layout.world.cellsWide(), cellsY = layout.world.cellsHigh();
    auto plan = std::make_unique<LandPlan>();
    plan->group.resize(size_t(cellsX) * cellsY);
    plan->altitude.resize(size_t(layout.regionsX) * layout.regionsY);
    plan->flat.resize(size_t(layout.regionsX) * layout.regionsY);
    const ValueNoise height(layout), moisture(layout);
    for (int rx = 0; rx < layout.regionsX; ++rx)
        for (int ry = 0; ry < layout.regionsY; ++ry) {
            const float e = height.at(rx, ry), w = moisture.at(rx, ry);
            int g;
            int altitude = int(2 + (e - 0.42f) * 120);
            bool flat = false;
            if (e < 0.38f) {
                g = Water, altitude = -5, flat = true;
            } else if (e < 0.42f) {
                g = Desert, altitude = 1;
            } else if (chance(2)) {
                static const int rare[] = {Cave, Cobblestones, Lava, Stars, DirtBig};
                g = pick(rare);
                if (g == Stars) altitude = -20, flat = true;
            } else if (e > 0.74f) {
                g = Snow;
            } else if (e > 0.64f) {
                g = Mountain;
            } else if (w > 0.72f) {
                g = Jungle;
            } else if (w > 0.6f) {
                g = Forest;
            } else if (w > 0.38f) {
                g = Grass;
            } else if (w > 0.3f) {
                g = chance(50) ? DirtBig : DirtSmall;
            } else {
                g = Desert;
            }
            const size_t r = size_t(rx) * layout.regionsY + size_t(ry);
            plan->altitude[r] = int8_t(std::clamp(altitude, -128, 127));
            plan->flat[r] = flat;
            // A world whose side is no multiple of a region ends in part of one.
            const int rows = std::min(RegionCells, cellsY - ry * RegionCells);
            for (int x = rx * RegionCells; x < std::min((rx + 1) * RegionCells, cellsX); ++x)
                std::fill_n(plan->group.begin() + ptrdiff_t(size_t(x) * cellsY + size_t(ry) * RegionCells), rows,
                            uint8_t(g));
        }
    // Towns: rectangles of laid ground (bricks, floors, marble) over the land.
    for (int town = 0; town < 400; ++town) {
        const int w = drawRange(8, 40), h = drawRange(8, 40);
        const int x0 = drawRange(0, cellsX - w), y0 = drawRange(0, cellsY - h);
        const uint8_t g = uint8_t(drawRange(FirstBuiltGroup, LastPicturedGroup));
        for (int x = x0; x < x0 + w; ++x)
            std::fill_n(plan->group.begin() + ptrdiff_t(size_t(x) * cellsY + size_t(y0)), h, g);
    }
    return plan;
}

void writeMap(const std::string& path, const Layout& layout, const LandPlan& plan, std::array<bool, 65536>& used,
              const Progress& progress) {
    const WorldGeometry& world = layout.world;
    auto file = openFile(path, OpenMode::Create);
    constexpr int ColumnsPerWrite = 16;
    std::vector<uint8_t> buffer(size_t(ColumnsPerWrite) * world.mapColumnBytes());
    for (int bx0 = 0; bx0 < world.blocksWide; bx0 += ColumnsPerWrite) {
        const int bxEnd = std::min(bx0 + ColumnsPerWrite, world.blocksWide);
        uint8_t* p = buffer.data();
        for (int bx = bx0; bx < bxEnd; ++bx)
            for (int by = 0; by < world.blocksHigh; ++by) {
                le::put32(p, randomBelow(0xFFFFFFFFu) + 1);  // opaque, never zero here
                p += MapBlockHeaderSize;
                for (int cy = 0; cy < BlockSize; ++cy)
                    for (int cx = 0; cx < BlockSize; ++cx) {
                        const int x = bx * BlockSize + cx, y = by * BlockSize + cy;
                        const int g = plan.group[size_t(x) * world.cellsHigh() + size_t(y)];
                        const size_t region = size_t(x / RegionCells) * layout.regionsY + size_t(y / RegionCells);
                        const uint16_t tile = RandomTile(g);
                        int altitude = plan.altitude[region];
                        if (!plan.flat[region] && g < FirstBuiltGroup) altitude += drawRange(-1, 1);
                        used[tile] = true;
                        le::put16(p, tile);
                        p[2] = uint8_t(int8_t(altitude));
                        p += MapCellSize;
                    }
            }
        file->write(buffer.data(), size_t(p - buffer.data()));
        progress.report(bxEnd * 60 / world.blocksWide);
        progress.pumpEvents();
    }
    file->close();
}

// --- statics -------------------------------------------------------------------------

void appendRecord(std::vector<uint8_t>& heap, uint16_t id) {
    uint8_t rec[StaticRecSize];
    le::put16(rec, id);
    rec[2] = uint8_t(randomBelow(8));
    rec[3] = uint8_t(randomBelow(8));
    rec[4] = uint8_t(int8_t(drawRange(-5, 60)));
    le::put16(rec + 5, chance(10) ? uint16_t(drawRange(1, 0x0BB8)) : uint16_t(0));
    heap.insert(heap.end(), rec, rec + StaticRecSize);
}

uint16_t drawStaticId() {
    // Trees, rocks, walls and furniture: ids in the item range of the art file.
    static const uint16_t common[] = {0x0CA8, 0x0CAA, 0x0CCA, 0x0CD6, 0x0D94, 0x1363, 0x0006, 0x0007,
                                      0x0064, 0x0065, 0x0B4F, 0x0A2A, 0x1771, 0x1772, 0x0E3D, 0x0DEA};
    return chance(60) ? pick(common) : uint16_t(drawRange(1, 0x3FFF));
}

void writeStatics(const WorldGeometry& world, const std::string& indexPath, const std::string& staticsPath,
                  SyntheticWorldSummary& summary, const Progress& progress) {
    std::vector<uint8_t> index(world.staticIndexBytes());
    std::vector<uint8_t> heap;
    heap.reserve(size_t(world.blockCount()) * 2 * 7 * StaticRecSize);
    for (int bx = 0; bx < world.blocksWide; ++bx) {
        for (int by = 0; by < world.blocksHigh; ++by) {
            uint8_t* e = index.data() + world.staticIndexOffset(bx, by);
            int32_t start = -1, length = 0, extra = 0;
            const uint32_t r = randomBelow(100);
            if (r < 40) {
                // A run left behind by an earlier write, referenced by nobody.
                if (chance(1))
                    for (int i = 0; i < 3; ++i) appendRecord(heap, drawStaticId());
                const int count = chance(2) ? drawRange(30, 120) : drawRange(1, 12);
                start = int32_t(heap.size());
                for (int i = 0; i < count; ++i) appendRecord(heap, drawStaticId());
                length = count * StaticRecSize;
                if (chance(15)) extra = int32_t(randomBelow(0xFFFFFFFFu)) | 1;
                ++summary.staticBlocks;
                summary.staticRecords += count;
            } else if (r < 43) {
                start = int32_t(heap.size());  // written with no records: not an empty entry
                if (chance(50)) extra = int32_t(drawRange(1, 0xFFFF));
                ++summary.emptyRuns;
            } else {
                length = chance(70) ? -1 : 0;
                if (chance(5)) extra = int32_t(drawRange(1, 0xFFFF));
            }
            le::put32(e, uint32_t(start));
            le::put32(e + 4, uint32_t(length));
            le::put32(e + 8, uint32_t(extra));
        }
        if (bx % 64 == 63) {
            progress.report(60 + (bx + 1) * 10 / world.blocksWide);
            progress.pumpEvents();
        }
    }
    auto statics = openFile(staticsPath, OpenMode::Create);
    statics->write(heap.data(), heap.size());
    statics->close();
    auto idx = openFile(indexPath, OpenMode::Create);
    idx->write(index.data(), index.size());
    idx->close();
}

// --- world save ----------------------------------------------------------------------

// Buffered CRLF text written through one File in large pieces.
class TextOut {
public:
    explicit TextOut(const std::string& path) : file_(openFile(path, OpenMode::Create)) { text_.reserve(Chunk + 4096); }
    void line(std::string_view s) {
        text_.append(s);
        text_.append("\r\n");
        if (text_.size() >= Chunk) flush();
    }
    void tag(std::string_view tagName, int64_t value) {
        char digits[24];
        const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
        text_.append(tagName);
        text_.push_back(' ');
        text_.append(digits, size_t(end - digits));
        text_.append("\r\n");
    }
    void tag(std::string_view tagName, std::string_view value) {
        text_.append(tagName);
        text_.push_back(' ');
        text_.append(value);
        text_.append("\r\n");
    }
    void close() {
        flush();
        file_->close();
    }

private:
    static constexpr size_t Chunk = size_t(4) << 20;
    void flush() {
        if (!text_.empty()) file_->write(text_.data(), text_.size());
        text_.clear();
    }
    std::unique_ptr<File> file_;
    std::string text_;
};

const char* const ItemNames[] = {"a wooden chair", "an apple", "a lantern", "Sign of the Golden Goose",
                                 "a pile of logs", "Lord Ashby's desk", "a blue vase", "Caf\xe9 sign",
                                 "a crate", "a torch"};
const char* const CharacterNames[] = {"Aldric", "Brenna", "Corwin", "Dalla", "Edric", "Fenna", "Garrick", "Hilde"};
const char* const GuildNames[] = {"The Silver Wardens", "Order of the Quill", "Ravenmoor Traders"};

// A tag whose value is 0 is mostly left out, as the server does.
void zeroOrTag(TextOut& out, std::string_view name, int64_t value) {
    if (value != 0 || chance(25)) out.tag(name, value);
}

void writeCharacter(TextOut& out, const WorldGeometry& world, int64_t number) {
    out.tag("SECTION CHARACTER", number);
    out.line("{");
    out.tag("SERIAL", number + 1);
    out.tag("NAME", CharacterNames[number % 8]);
    out.tag("ID", chance(50) ? 400 : 401);
    out.tag("X", drawRange(0, world.cellsWide() - 1));
    out.tag("Y", drawRange(0, world.cellsHigh() - 1));
    zeroOrTag(out, "Z", drawRange(0, 20));
    out.tag("ACCOUNT", drawRange(0, 500));
    out.tag("STRENGTH", drawRange(10, 100));
    out.line("}");
    out.line("");
}

void writeGuild(TextOut& out, int64_t number) {
    out.tag("SECTION GUILD", number);
    out.line("{");
    out.tag("NAME", GuildNames[number % 3]);
    out.tag("ABBREVIATION", "G" + std::to_string(number));
    out.tag("MASTER", number + 1);
    out.line("}");
    out.line("");
}

void writeWorldSave(const WorldGeometry& world, const std::string& path, int64_t items, uint32_t seed,
                    SyntheticWorldSummary& summary, const Progress& progress) {
    TextOut out(path);
    out.line("// UOX3 world save: world items, characters and guilds");
    out.line("// Each object is a SECTION with its tags between { and }; the file ends with EOF.");
    out.line("// Written by terraquill-cli mkworld, seed " + std::to_string(seed) + ", " + std::to_string(items) +
             " world items");
    out.line("");

    constexpr uint32_t FirstItemSerial = 0x40000000u;
    std::vector<int64_t> containers;  // serials of the latest containers on the ground
    const int64_t characterEvery = 97, guildEvery = 4999;
    int64_t characters = 0, guilds = 0;
    for (int64_t n = 0; n < items; ++n) {
        if (n % characterEvery == 50) writeCharacter(out, world, characters++);
        if (n % guildEvery == 2500) writeGuild(out, guilds++);

        const int64_t serial = int64_t(FirstItemSerial) + n;
        std::string name = chance(70) ? "#" : pick(ItemNames);
        uint16_t id = drawPlainItemId();
        int x = drawRange(0, world.cellsWide() - 1), y = drawRange(0, world.cellsHigh() - 1);
        int z = chance(50) ? 0 : drawRange(-5, 60);
        int color = chance(85) ? 0 : drawRange(1, 0x0BB8);
        int64_t cont = -1;
        int type = 0;
        bool container = false;

        const uint32_t kind = randomBelow(1000);
        if (kind < 30) {  // a container on the ground
            container = true;
            type = 1;
            id = pick({uint16_t(0x0E75), uint16_t(0x0E43), uint16_t(0x0E76), uint16_t(0x09AA)});
        } else if (kind < 180 && !containers.empty()) {  // inside a container
            cont = containers[randomBelow(uint32_t(containers.size()))];
            x = drawRange(20, 150);
            y = drawRange(40, 140);
            z = 0;
            if (kind < 40) {
                type = 255;  // frozen by "type 255", never by "auto"
            } else if (kind < 50) {
                name = "#";  // a listed id in a bag: not for "auto" either
                id = pick(syntheticAutoSelectIds());
            }
        } else if (kind < 220) {
            type = 255;
        } else if (kind < 250) {  // the "auto" rule's items
            name = "#";
            id = pick(syntheticAutoSelectIds());
            type = 0;
        } else if (kind < 260) {
            name = "#2";  // a listed id under another name: not selected
            id = pick(syntheticAutoSelectIds());
        } else if (kind < 280) {
            type = pick({9, 12, 15, 63});  // books, doors, weapons, spawners
        }

        out.tag("SECTION WORLDITEM", n);
        out.line("{");
        out.tag("SERIAL", serial);
        out.tag("NAME", name);
        out.tag("ID", id);
        zeroOrTag(out, "X", x);
        zeroOrTag(out, "Y", y);
        zeroOrTag(out, "Z", z);
        zeroOrTag(out, "COLOR", color);
        out.tag("CONT", cont);
        zeroOrTag(out, "TYPE", type);
        if (chance(20)) out.tag("AMOUNT", drawRange(2, 500));
        if (chance(10)) out.tag("MOVABLE", 2);
        out.line("}");
        out.line("");

        ++summary.worldItems;
        if (type == 255) {
            ++summary.type255Items;
            if (cont != -1) ++summary.type255InContainers;
        }
        if (cont == -1 && type == 0 && name == "#" && isAutoId(id)) ++summary.autoItems;
        if (cont != -1) ++summary.containedItems;
        if (container) {
            if (containers.size() < 64) containers.push_back(serial);
            else containers[randomBelow(64)] = serial;
        }
        if (n % 65536 == 65535) {
            progress.report(70 + int(n * 25 / items));
            progress.pumpEvents();
        }
    }
    // A save always holds a few characters and a guild, however small.
    while (characters < 3) writeCharacter(out, world, characters++);
    if (guilds == 0) writeGuild(out, guilds++);
    out.line("EOF");
    out.line("");
    out.close();
    summary.characters = characters;
    summary.guilds = guilds;
}

void writeAutoSelect(const std::string& path) {
    std::string text =
        "# AutoSelect.txt of a synthetic world: the item ids its \"auto\" items use.\r\n"
        "# One id per line as two spaced-hex pairs, high byte first; the rest of the line is a comment.\r\n";
    for (uint16_t id : syntheticAutoSelectIds())
        text += IntToSpacedHex(int32_t(((id & 0xFF) << 8) | (id >> 8)), 2) + "  item " + std::to_string(id) + "\r\n";
    auto f = openFile(path, OpenMode::Create);
    f->write(text.data(), text.size());
    f->close();
}

// --- pictures ------------------------------------------------------------------------

struct Rgb {
    int r, g, b;  // 0..31 each
};

Rgb groupColour(const std::string& name) {
    struct Key { const char* word; Rgb colour; };
    static const Key keys[] = {
        {"grass", {6, 18, 5}},     {"forest", {3, 12, 3}},    {"jungle", {4, 15, 6}},
        {"water", {3, 8, 22}},     {"desert", {27, 23, 14}},  {"snow", {29, 30, 31}},
        {"lava", {28, 9, 2}},      {"stars", {1, 1, 4}},      {"mountain", {15, 12, 9}},
        {"cave", {9, 8, 7}},       {"dirt", {17, 12, 7}},     {"cobblestones", {16, 16, 15}},
        {"brick", {21, 10, 7}},    {"wooden", {18, 12, 6}},   {"flagstone", {18, 17, 14}},
        {"marble", {26, 26, 25}},  {"sandstone", {25, 21, 14}}, {"stone", {18, 18, 18}},
    };
    const std::string lower = [&] {
        std::string s = name;
        for (char& c : s)
            if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
        return s;
    }();
    for (const Key& k : keys)
        if (lower.find(k.word) != std::string::npos) return k.colour;
    return {16, 16, 16};
}

uint16_t pixel(Rgb c, int shade) {
    auto clamp = [](int v) { return v < 0 ? 0 : (v > 31 ? 31 : v); };
    const int r = clamp(c.r + shade), g = clamp(c.g + shade), b = clamp(c.b + shade);
    const uint16_t value = uint16_t((r << 10) | (g << 5) | b);
    return value == 0 ? uint16_t(1 << 10) : value;  // 0 would read as "no colour"
}

// Texture pixel (x, y) of a size x size picture of tile `id`: the group's colour with
// a pattern that shows what the ground is.
uint16_t texturePixel(uint16_t id, const std::string& groupName, Rgb colour, int size, int x, int y) {
    const int unit = size / 8;
    int shade = int(mix(id, uint32_t(x / 2), uint32_t(y / 2)) % 5) - 2;
    if (groupName.find("brick") != std::string::npos) {
        const int row = y / unit, offset = (row % 2) * unit;
        if (y % unit == 0 || (x + offset) % (2 * unit) == 0) shade = -8;
    } else if (groupName.find("wooden") != std::string::npos) {
        const bool eastWest = groupName.find("E/W") != std::string::npos;
        if ((eastWest ? y : x) % unit == 0) shade = -6;
    } else if (groupName.find("stars") != std::string::npos) {
        shade = mix(id, uint32_t(x), uint32_t(y)) % 61 == 0 ? 28 : 0;
    } else if (groupName.find("marble") != std::string::npos || groupName.find("flagstone") != std::string::npos ||
               groupName.find("stone (") != std::string::npos || groupName.find("cobble") != std::string::npos) {
        if (x % (2 * unit) == 0 || y % (2 * unit) == 0) shade = -5;
    }
    return pixel(colour, shade + int(id % 3) - 1);
}

void writePictures(const std::string& dir, bool containers) {
    constexpr int Entries = 4096;  // land pictures exist for tile ids 0..4095 only
    std::vector<uint8_t> texIndex(size_t(Entries) * 12), artIndex(size_t(Entries) * 12);
    for (int id = 0; id < Entries; ++id) {
        le::put32(texIndex.data() + id * 12, 0xFFFFFFFFu);
        le::put32(artIndex.data() + id * 12, 0xFFFFFFFFu);
    }
    std::vector<uint8_t> texData, artData;
    int k = 0;
    for (int g = 0; g <= LastPicturedGroup; ++g) {
        const TNamedTile& group = NamedTiles[size_t(g)];
        const std::string name = group.Name;
        const Rgb colour = groupColour(name);
        for (int i = 0; i < group.Count; ++i, ++k) {
            const uint16_t id = uint16_t(group.FirstId + i);
            // Most tiles have a 64 x 64 texture, some 128 x 128, some only land art.
            const int size = k % 7 == 6 ? 0 : (k % 5 == 0 ? 128 : 64);
            if (size) {
                le::put32(texIndex.data() + id * 12, uint32_t(texData.size()));
                le::put32(texIndex.data() + id * 12 + 4, uint32_t(size * size * 2));
                le::put32(texIndex.data() + id * 12 + 8, size == 128 ? 1u : 0u);
                for (int y = 0; y < size; ++y)
                    for (int x = 0; x < size; ++x) {
                        uint8_t px[2];
                        le::put16(px, texturePixel(id, name, colour, size, x, y));
                        texData.insert(texData.end(), px, px + 2);
                    }
            }
            // Land art: a diamond of 44 rows, 2, 4 .. 44, 44 .. 4, 2 pixels, in 2048 bytes.
            le::put32(artIndex.data() + id * 12, uint32_t(artData.size()));
            le::put32(artIndex.data() + id * 12 + 4, 2048u);
            const size_t start = artData.size();
            for (int r = 0; r < 44; ++r) {
                const int width = r < 22 ? 2 * (r + 1) : 2 * (44 - r);
                for (int p = 0; p < width; ++p) {
                    uint8_t px[2];
                    le::put16(px, texturePixel(id, name, colour, 64, p + (44 - width) / 2, r));
                    artData.insert(artData.end(), px, px + 2);
                }
            }
            artData.resize(start + 2048, 0);
        }
    }
    auto put = [&](const char* file, const std::vector<uint8_t>& bytes) {
        auto f = openFile(joinPath(dir, file), OpenMode::Create);
        f->write(bytes.data(), bytes.size());
        f->close();
    };
    put("texidx.mul", texIndex);
    put("texmaps.mul", texData);
    if (!containers) {
        put("artidx.mul", artIndex);
        put("art.mul", artData);
        return;
    }
    // The same pictures as entries of artLegacyMUL.uop, in id order.
    std::vector<uint16_t> ids;
    for (int id = 0; id < Entries; ++id)
        if (le::i32(artIndex.data() + id * 12) >= 0) ids.push_back(uint16_t(id));
    uop::NewEntries entries;
    entries.count = ids.size();
    entries.name = [&](size_t i) { return artEntryName(ids[i]); };
    entries.bytes = [&](size_t i, std::vector<uint8_t>& out) {
        const uint8_t* at = artIndex.data() + ids[i] * 12;
        const auto start = artData.begin() + le::i32(at);
        out.assign(start, start + le::i32(at + 4));
    };
    uop::writeContainer(joinPath(dir, ArtContainerName), entries);
}

// radarcol.mul: each land tile the colour of its ground (what its pictures show on
// average), each static a colour of its own, so that the overview shows the continents.
void writeRadarColours(const std::string& dir) {
    std::vector<uint8_t> table(size_t(RadarFullEntries) * RadarColourSize, 0);
    for (int g = 0; g < NamedTileCount; ++g) {
        const TNamedTile& group = NamedTiles[size_t(g)];
        const uint16_t colour = pixel(groupColour(group.Name), 0);
        for (int i = 0; i < group.Count; ++i) {
            const uint32_t id = uint32_t(group.FirstId) + uint32_t(i);
            if (id < RadarLandEntries) le::put16(table.data() + id * RadarColourSize, colour);
        }
    }
    // Trees dark green, the rest greys and browns that vary with the id.
    static const uint16_t trees[] = {0x0CA8, 0x0CAA, 0x0CCA, 0x0CD6, 0x0D94};
    for (uint32_t id = 0; id < 0x10000; ++id) {
        Rgb colour{2, 9, 2};
        if (std::find(std::begin(trees), std::end(trees), id) == std::end(trees)) {
            const int grey = 10 + int(mix(id, 7) % 12);
            colour = {grey, grey - 2, grey - 4};
        }
        le::put16(table.data() + (RadarStaticBase + id) * RadarColourSize, pixel(colour, 0));
    }
    auto f = openFile(joinPath(dir, RadarColourFileName), OpenMode::Create);
    f->write(table.data(), table.size());
    f->close();
}

} // namespace

bool isAutoId(uint16_t id) {
    const auto& ids = syntheticAutoSelectIds();
    return std::find(ids.begin(), ids.end(), id) != ids.end();
}

uint16_t drawPlainItemId() {
    for (;;) {
        const auto id = uint16_t(drawRange(1, 0x3FFF));
        if (!isAutoId(id)) return id;
    }
}

const std::vector<uint16_t>& syntheticAutoSelectIds() {
    static const std::vector<uint16_t> ids{0x0006, 0x0007, 0x0008, 0x0495, 0x0496, 0x0CA8, 0x0CAA, 0x0EED};
    return ids;
}

SyntheticWorldSummary makeSyntheticWorld(const std::string& dir, int64_t items, uint32_t seed,
                                         const Progress& progress, const WorldGeometry& world, bool containers,
                                         SyntheticSaveFormat format) {
    SyntheticWorldSummary summary;
    seedRandom(seed);
    progress.report(0);
    const Layout layout(world);
    const std::string n = std::to_string(world.facet);
    const std::string map = "map" + n + ".mul", staidx = "staidx" + n + ".mul", statics = "statics" + n + ".mul";
    {
        auto plan = planLand(layout);
        std::array<bool, 65536> used{};
        writeMap(joinPath(dir, map.c_str()), layout, *plan, used, progress);
        for (int id = 0; id < 65536; ++id)
            if (used[size_t(id)]) summary.landTiles.push_back(uint16_t(id));
    }
    if (containers) {
        const std::string uop = "map" + n + "LegacyMUL.uop";
        {
            auto plain = openFile(joinPath(dir, map.c_str()), OpenMode::Read);
            uop::writeMapContainer(*plain, joinPath(dir, uop.c_str()), world.facet);
        }
        fileSystem().remove(joinPath(dir, map.c_str()));
        summary.files.push_back(uop);
    } else {
        summary.files.push_back(map);
    }
    writeStatics(world, joinPath(dir, staidx.c_str()), joinPath(dir, statics.c_str()), summary, progress);
    summary.files.push_back(staidx);
    summary.files.push_back(statics);
    if (format == SyntheticSaveFormat::Folder) {
        const std::string shared = joinPath(dir, SyntheticFolderName);
        std::error_code ec;
        std::filesystem::create_directories(fsPath(shared), ec);
        summary.folder = writeSyntheticFolderSave(shared, world, items, progress);
        for (const std::string& name : summary.folder.files)
            summary.files.push_back(std::string(SyntheticFolderName) + "/" + name);
    } else {
        writeWorldSave(world, joinPath(dir, "items.wsc"), items, seed, summary, progress);
        summary.files.push_back("items.wsc");
    }
    writeAutoSelect(joinPath(dir, "AutoSelect.txt"));
    summary.files.push_back("AutoSelect.txt");
    writePictures(dir, containers);
    for (const char* f : {"texidx.mul", "texmaps.mul"}) summary.files.push_back(f);
    if (containers) {
        summary.files.push_back(ArtContainerName);
    } else {
        for (const char* f : {"artidx.mul", "art.mul"}) summary.files.push_back(f);
    }
    writeRadarColours(dir);
    summary.files.push_back(RadarColourFileName);
    progress.report(100);
    return summary;
}

} // namespace tq
