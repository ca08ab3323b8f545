#include "mapedit/overview.h"

#include "core/bytes.h"
#include "core/error.h"
#include "core/facets.h"
#include "core/file_system.h"
#include "core/static_index.h"
#include "mapedit/client_files.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace tq {

namespace {

std::string pointText(int x, int y) { return "(" + std::to_string(x) + ", " + std::to_string(y) + ")"; }

// A cell's colour as 0xRRGGBB; NoColour marks a tile the radar colours lack (drawn black).
constexpr uint32_t NoColour = 0x80000000u;

uint32_t packed(Rgb8 c) { return uint32_t(c.r) << 16 | uint32_t(c.g) << 8 | c.b; }

// The radar colours widened once per render, for every id a map or a static can hold.
struct ColourTables {
    std::vector<uint32_t> land, statics;
    explicit ColourTables(const RadarColours& colours) : land(0x10000), statics(0x10000) {
        for (uint32_t id = 0; id < 0x10000; ++id) {
            land[id] = colours.hasLand(uint16_t(id)) ? packed(rgbOf555(colours.land(uint16_t(id)))) : NoColour;
            statics[id] = colours.hasStatic(uint16_t(id)) ? packed(rgbOf555(colours.staticColour(uint16_t(id))))
                                                          : NoColour;
        }
    }
};

// Lighter above 0, darker below, so that mountains and valleys read: each channel times
// (128 + z) / 128, kept within 0..255.
uint32_t shaded(uint32_t colour, int z) {
    if (colour & NoColour) return colour;
    auto channel = [z](uint32_t c) { return std::min<uint32_t>(255, c * uint32_t(128 + z) / 128); };
    return channel(colour >> 16 & 0xFF) << 16 | channel(colour >> 8 & 0xFF) << 8 | channel(colour & 0xFF);
}

} // namespace

void requireOverviewScale(int scale) {
    if (scale < 1)
        throw Error("The scale is the number of cells along a pixel's side: 1 or more, not " + std::to_string(scale));
}

int overviewPixels(int cells, int scale) {
    if (cells <= 0) return 0;
    return int((int64_t(cells) + scale - 1) / scale);
}

CellRect overviewArea(const WorldGeometry& world, const CellRect& requested, std::string* note) {
    const int lastX = world.cellsWide() - 1, lastY = world.cellsHigh() - 1;
    if (!world.validCell(requested.x0, requested.y0))
        throw Error("The area's first corner " + pointText(requested.x0, requested.y0) +
                    " is outside the map: X must be 0.." + std::to_string(lastX) + " and Y 0.." +
                    std::to_string(lastY));
    if (requested.x1 < requested.x0 || requested.y1 < requested.y0)
        throw Error("The area's second corner " + pointText(requested.x1, requested.y1) +
                    " must not lie left of or above its first " + pointText(requested.x0, requested.y0));
    CellRect area = requested;
    area.x1 = std::min(area.x1, lastX);
    area.y1 = std::min(area.y1, lastY);
    if (note && (area.x1 != requested.x1 || area.y1 != requested.y1))
        *note = "The area reaches past the map's edge: drawn from " + pointText(area.x0, area.y0) + " to " +
                pointText(area.x1, area.y1);
    return area;
}

OverviewPicture renderOverview(File& map, const WorldGeometry& world, const RadarColours& colours, const CellRect& area,
                               const OverviewOptions& options, const OverviewStatics* statics,
                               const Progress& progress) {
    requireOverviewScale(options.scale);
    if (area.empty() || !area.insideMap(world))
        throw Error("The area " + pointText(area.x0, area.y0) + " to " + pointText(area.x1, area.y1) +
                    " is not inside the map");
    const int scale = options.scale;
    const ColourTables tables(colours);
    OverviewPicture picture;
    picture.area = area;
    picture.scale = scale;
    picture.width = overviewPixels(area.width(), scale);
    picture.height = overviewPixels(area.height(), scale);
    picture.rgb.assign(size_t(picture.width) * size_t(picture.height) * 3, 0);

    const int height = area.height();
    const int by0 = area.y0 / BlockSize, by1 = area.y1 / BlockSize;
    const int bx0 = area.x0 / BlockSize, bx1 = area.x1 / BlockSize;
    // The area's blocks of one block column lie back to back in the file: one read each.
    std::vector<uint8_t> column(size_t(by1 - by0 + 1) * MapBlockSize);
    // The colours of one block column's cells in the area, [cx * height + (y - y0)].
    std::vector<uint32_t> cells(size_t(BlockSize) * size_t(height));
    std::vector<int16_t> topZ(cells.size());
    constexpr int16_t NoStatic = std::numeric_limits<int16_t>::min();
    // Sums of the output column being built: r, g, b and the number of cells, per pixel row
    // (64 bits: one pixel may stand for a whole facet of 29 million cells).
    std::vector<uint64_t> sums(size_t(picture.height) * 4, 0);
    int currentPixelX = 0;
    auto flush = [&](int px) {
        for (int py = 0; py < picture.height; ++py) {
            uint64_t* s = &sums[size_t(py) * 4];
            if (s[3] == 0) continue;
            uint8_t* out = &picture.rgb[(size_t(py) * size_t(picture.width) + size_t(px)) * 3];
            for (int c = 0; c < 3; ++c) out[c] = uint8_t((s[c] + s[3] / 2) / s[3]);
            std::fill_n(s, 4, uint64_t(0));
        }
    };

    for (int bx = bx0; bx <= bx1; ++bx) {
        map.seek(world.mapBlockOffset(bx, by0));
        map.read(column.data(), column.size());
        const int left = bx * BlockSize;
        const int cx0 = std::max(area.x0, left) - left, cx1 = std::min(area.x1, left + BlockSize - 1) - left;
        for (int by = by0; by <= by1; ++by) {
            const uint8_t* block = column.data() + size_t(by - by0) * MapBlockSize + MapBlockHeaderSize;
            for (int cy = 0; cy < BlockSize; ++cy) {
                const int y = by * BlockSize + cy;
                if (y < area.y0 || y > area.y1) continue;
                for (int cx = cx0; cx <= cx1; ++cx) {
                    const uint8_t* cell = block + (cy * BlockSize + cx) * MapCellSize;
                    uint32_t colour = tables.land[le::u16(cell)];
                    if (options.shade) colour = shaded(colour, int8_t(cell[2]));
                    cells[size_t(cx) * size_t(height) + size_t(y - area.y0)] = colour;
                }
            }
        }
        if (statics) {
            // Seen from above, a cell shows its highest static; of statics at one height the
            // later in the block's run, which the client draws last, over the others.
            std::fill(topZ.begin(), topZ.end(), NoStatic);
            const std::vector<uint8_t>& heap = *statics->heap;
            for (int by = by0; by <= by1; ++by) {
                const TStaticIndexRec& entry = statics->index->at(bx, by);
                int64_t count = 0;
                try {
                    count = CheckIndexEntry(entry, heap.size(), RunCapacity::LeftToCaller);
                } catch (Error& e) {
                    e.setPathIfMissing(statics->indexPath);
                    throw;
                }
                const uint8_t* rec = heap.data() + (entry.empty() ? 0 : size_t(entry.Start));
                for (int64_t i = 0; i < count; ++i, rec += StaticRecSize) {
                    const int sx = rec[2], sy = rec[3];
                    if (sx >= BlockSize || sy >= BlockSize) continue;  // no cell of this block
                    const int y = by * BlockSize + sy;
                    if (sx < cx0 || sx > cx1 || y < area.y0 || y > area.y1) continue;
                    const int z = int8_t(rec[4]);
                    const size_t k = size_t(sx) * size_t(height) + size_t(y - area.y0);
                    if (z < topZ[k]) continue;
                    topZ[k] = int16_t(z);
                    uint32_t colour = tables.statics[le::u16(rec)];
                    cells[k] = options.shade ? shaded(colour, z) : colour;
                }
            }
        }
        for (int cx = cx0; cx <= cx1; ++cx) {
            const int px = (left + cx - area.x0) / scale;
            if (px != currentPixelX) {
                flush(currentPixelX);
                currentPixelX = px;
            }
            const uint32_t* c = &cells[size_t(cx) * size_t(height)];
            for (int i = 0; i < height; ++i) {
                uint32_t colour = c[i];
                if (colour & NoColour) {
                    ++picture.cellsWithoutColour;
                    colour = 0;
                }
                uint64_t* s = &sums[size_t(i / scale) * 4];
                s[0] += colour >> 16;
                s[1] += colour >> 8 & 0xFF;
                s[2] += colour & 0xFF;
                s[3] += 1;
            }
        }
        if ((bx - bx0) % 16 == 15) {
            progress.report(int(int64_t(bx - bx0 + 1) * 100 / (bx1 - bx0 + 1)));
            progress.pumpEvents();
        }
    }
    flush(currentPixelX);
    progress.report(100);
    return picture;
}

std::string missingColoursWarning(const std::string& radarcolPath, size_t entries, uint64_t cells) {
    return nameOf(radarcolPath) + " holds " + groupedNumber(entries) + (entries == 1 ? " colour: " : " colours: ") +
           groupedNumber(cells) +
           (cells == 1 ? " cell has" : " cells have") + " a tile or static past its end, drawn black";
}

OverviewResult renderOverviewFiles(const OverviewRequest& request, const Progress& progress) {
    if (request.staidx.empty() != request.statics.empty())
        throw Error("The static index and the statics file go together: give both or neither");
    std::vector<WorldFile> files{{WorldFileKind::Map, request.map}};
    if (!request.staidx.empty()) {
        files.push_back({WorldFileKind::StaticIndex, request.staidx});
        files.push_back({WorldFileKind::Statics, request.statics});
    }
    OverviewResult result;
    result.world = resolveWorld(files, request.facet);
    const WorldGeometry& world = result.world;
    const RadarColours colours = aboutFile(request.radarcol, [&] { return RadarColours::load(request.radarcol); });
    std::string note;
    const CellRect area = overviewArea(
        world, request.area.value_or(CellRect{0, 0, world.cellsWide() - 1, world.cellsHigh() - 1}), &note);
    if (!note.empty()) result.notes.push_back(note);
    requireOverviewScale(request.options.scale);

    StaticIndexBuffer index(world);
    std::vector<uint8_t> heap;
    OverviewStatics statics;
    if (!request.staidx.empty()) {
        LoadStaticIndex(request.staidx, index, {}, world.facet);
        aboutFile(request.statics, [&] {
            auto file = openFile(request.statics, OpenMode::Read);
            heap.resize(size_t(file->size()));
            if (!heap.empty()) file->read(heap.data(), heap.size());
            file->close();
        });
        statics = {&index, &heap, request.staidx, request.statics};
    }
    auto map = openMapFile(request.map, OpenMode::Read, world.facet);
    aboutFile(request.map, [&] {
        result.picture = renderOverview(*map, world, colours, area, request.options,
                                        request.staidx.empty() ? nullptr : &statics, progress);
    });
    map->close();
    if (result.picture.cellsWithoutColour)
        result.warnings.push_back(
            missingColoursWarning(request.radarcol, colours.entryCount(), result.picture.cellsWithoutColour));
    return result;
}

std::vector<bool> differingMapBlocks(const std::string& originalMap, const std::string& modifiedMap,
                                     std::optional<int> facet, WorldGeometry& world) {
    world = resolveWorld({{WorldFileKind::Map, originalMap}, {WorldFileKind::Map, modifiedMap}}, facet);
    std::vector<bool> differs(size_t(world.blockCount()), false);
    auto a = openMapFile(originalMap, OpenMode::Read, world.facet);
    auto b = openMapFile(modifiedMap, OpenMode::Read, world.facet);
    std::vector<uint8_t> columnA(world.mapColumnBytes()), columnB(columnA.size());
    for (int bx = 0; bx < world.blocksWide; ++bx) {
        aboutFile(originalMap, [&] {
            a->seek(world.mapBlockOffset(bx, 0));
            a->read(columnA.data(), columnA.size());
        });
        aboutFile(modifiedMap, [&] {
            b->seek(world.mapBlockOffset(bx, 0));
            b->read(columnB.data(), columnB.size());
        });
        for (int by = 0; by < world.blocksHigh; ++by) {
            // The cells only: the header bytes are opaque and no picture shows them.
            const size_t at = size_t(by) * MapBlockSize + MapBlockHeaderSize;
            if (std::memcmp(columnA.data() + at, columnB.data() + at, MapBlockCellBytes) != 0)
                differs[size_t(world.blockNumber(bx, by))] = true;
        }
    }
    a->close();
    b->close();
    return differs;
}

uint64_t markDifferingBlocks(OverviewPicture& picture, const WorldGeometry& world, const std::vector<bool>& differs) {
    const CellRect& area = picture.area;
    uint64_t marked = 0;
    // A pixel may show parts of several differing blocks: it is tinted once.
    std::vector<bool> tint(size_t(picture.width) * size_t(picture.height), false);
    for (int bx = area.x0 / BlockSize; bx <= area.x1 / BlockSize; ++bx)
        for (int by = area.y0 / BlockSize; by <= area.y1 / BlockSize; ++by) {
            if (!differs[size_t(world.blockNumber(bx, by))]) continue;
            ++marked;
            const int px0 = (std::max(area.x0, bx * BlockSize) - area.x0) / picture.scale;
            const int px1 = (std::min(area.x1, bx * BlockSize + BlockSize - 1) - area.x0) / picture.scale;
            const int py0 = (std::max(area.y0, by * BlockSize) - area.y0) / picture.scale;
            const int py1 = (std::min(area.y1, by * BlockSize + BlockSize - 1) - area.y0) / picture.scale;
            for (int py = py0; py <= py1; ++py)
                for (int px = px0; px <= px1; ++px) tint[size_t(py) * size_t(picture.width) + size_t(px)] = true;
        }
    // Tinted, not painted over: the ground still shows through.
    for (size_t i = 0; i < tint.size(); ++i) {
        if (!tint[i]) continue;
        uint8_t* p = &picture.rgb[i * 3];
        p[0] = 255;
        p[1] = uint8_t(p[1] / 3);
        p[2] = uint8_t(p[2] / 3);
    }
    return marked;
}

ChangesResult renderMapChanges(const std::string& originalMap, const OverviewRequest& modified,
                               const Progress& progress) {
    WorldGeometry world;
    const std::vector<bool> differs = differingMapBlocks(originalMap, modified.map, modified.facet, world);
    ChangesResult changes;
    changes.overview = renderOverviewFiles(modified, progress);
    changes.differingBlocks = markDifferingBlocks(changes.overview.picture, world, differs);
    return changes;
}

std::string radarColoursBeside(const std::string& mapPath) {
    return findClientFile(folderOf(mapPath), RadarColourFileName);
}

} // namespace tq
