#include "fillclear/fill_clear.h"

#include "core/bytes.h"
#include "core/crowded_block.h"
#include "core/error.h"
#include "core/facets.h"
#include "core/file_system.h"
#include "core/int_parse.h"
#include "core/map_file.h"
#include "core/named_tiles.h"
#include "core/spaced_hex.h"
#include "core/static_index.h"
#include "core/world.h"
#include "core/world_lock.h"

#include <array>
#include <cstring>
#include <memory>
#include <vector>

namespace tq {

BlockCoverage BlockInArea(uint16_t top, uint16_t left, uint16_t right, uint16_t bottom, uint16_t blockX,
                          uint16_t blockY) {
    const uint32_t bx0 = uint32_t(blockX) * BlockSize;
    const uint32_t by0 = uint32_t(blockY) * BlockSize;
    if (by0 >= top && bx0 >= left && bx0 + 7 <= right && by0 + 7 <= bottom) return BlockCoverage::Wholly;
    if (by0 + 7 >= top && bx0 + 7 >= left && bx0 <= right && by0 <= bottom) return BlockCoverage::Partly;
    return BlockCoverage::None;
}

FillClearArea parseFillClearArea(const std::string& top, const std::string& left, const std::string& right,
                                 const std::string& bottom) {
    FillClearArea area;
    // Each border is a 16-bit number: 70000 is 4464, -1 is 65535.
    area.Top = uint16_t(parseInt(top));
    area.Left = uint16_t(parseInt(left));
    area.Right = uint16_t(parseInt(right));
    area.Bottom = uint16_t(parseInt(bottom));
    return area;
}

namespace {

// The blocks of one block column that the rectangle touches. They always form one run:
// a block is touched exactly when its column meets Left..Right and its row meets
// Top..Bottom (a wholly covered block meets both too), so no untouched block lies between.
struct ColumnRun {
    int first = -1;  // first touched block row, -1 when none
    int last = -1;
    bool partial = false;  // some block of the run is only partly covered
    std::vector<BlockCoverage> kind;  // BlockInArea of every block of the column

    bool touched() const { return first >= 0; }
    int count() const { return last - first + 1; }
};

void classifyColumn(const FillClearArea& a, const WorldGeometry& world, int x, ColumnRun& run) {
    run.first = run.last = -1;
    run.partial = false;
    run.kind.assign(size_t(world.blocksHigh), BlockCoverage::None);
    for (int y = 0; y < world.blocksHigh; ++y) {
        const BlockCoverage kind = BlockInArea(a.Top, a.Left, a.Right, a.Bottom, uint16_t(x), uint16_t(y));
        run.kind[size_t(y)] = kind;
        if (kind == BlockCoverage::None) continue;
        if (run.first < 0) run.first = y;
        run.last = y;
        if (kind == BlockCoverage::Partly) run.partial = true;
    }
}

bool cellInside(const FillClearArea& a, uint32_t x, uint32_t y) {
    return y >= a.Top && x >= a.Left && x <= a.Right && y <= a.Bottom;
}

void reportColumn(const Progress& progress, const WorldGeometry& world, int x) {
    progress.report(x * 100 / (world.blocksWide - 1));
    progress.pumpEvents();
}

// What the map pass puts into each cell: one tile or a draw from a group.
struct FillTile {
    int group = -1;
    uint16_t id = 0;
    int8_t altitude = 0;
    uint16_t next() const { return group >= 0 ? RandomTile(group) : id; }
};

// Throws unless the file reaches `end`: in-place passes never grow a file.
void requireSize(File& file, uint64_t end) {
    if (file.size() < end) throw Error(msg::ReadBeyondEnd, file.name());
}

using Runs = std::vector<ColumnRun>;  // one per block column

// The most bytes one read or write of a pass moves (at least one block column of the map:
// no facet is higher than 5,350 blocks).
constexpr size_t PieceBytes = 1 << 20;

class FillClearRun {
public:
    FillClearRun(const FillClearRequest& request, const WorldGeometry& world, const Progress& progress)
        : request_(request), area_(request.Area), world_(world), progress_(progress) {}

    FillClearResult run(const FillTile* tile) {
        // Every column's run, once: it fixes how far each file must reach and which
        // statics entries must be checked before anything is written.
        auto runs = std::make_unique<Runs>(size_t(world_.blocksWide));
        bool anyPartial = false;
        uint64_t indexEnd = 0, mapEnd = 0;
        for (int x = 0; x < world_.blocksWide; ++x) {
            ColumnRun& run = (*runs)[size_t(x)];
            classifyColumn(area_, world_, x, run);
            if (!run.touched()) continue;
            anyPartial = anyPartial || run.partial;
            indexEnd = world_.staticIndexOffset(x, run.last) + StaticIndexRecSize;
            mapEnd = world_.mapBlockOffset(x, run.last) + MapBlockSize;
        }

        std::unique_ptr<File> staidx, statics, map;
        if (request_.ClearStatics) {
            staidx = openFile(request_.StaIdxPath, OpenMode::ReadWrite);
            requireSize(*staidx, indexEnd);
            if (anyPartial) {
                statics = openFile(request_.StaticsPath, OpenMode::ReadWrite);
                checkPartialEntries(*staidx, statics->size(), *runs);
            }
        }
        if (tile) {
            map = openMapFile(request_.MapPath, OpenMode::ReadWrite);
            requireSize(*map, mapEnd);
        }

        if (staidx) staticsPass(*staidx, statics.get(), *runs);
        if (map) mapPass(*map, *tile, *runs);
        if (statics) statics->close();
        if (staidx) staidx->close();
        if (map) map->close();
        return result_;
    }

private:
    void checkPartialEntries(File& staidx, uint64_t staticsSize, const Runs& runs) {
        for (int x = 0; x < world_.blocksWide; ++x) {
            const ColumnRun& run = runs[size_t(x)];
            if (!run.partial) continue;
            readIndexRun(staidx, x, run);
            for (int y = run.first; y <= run.last; ++y) {
                if (run.kind[size_t(y)] != BlockCoverage::Partly) continue;
                TStaticIndexRec entry;
                decodeIndexRec(indexSlice_.data() + size_t(y - run.first) * StaticIndexRecSize, entry);
                // Everything ReadBlockStatics would refuse, found before the pass writes anything.
                aboutFile(staidx.name(), [&] { CheckIndexEntry(entry, staticsSize); });
            }
        }
    }

    void readIndexRun(File& staidx, int x, const ColumnRun& run) {
        staidx.seek(world_.staticIndexOffset(x, run.first));
        staidx.read(indexSlice_.data(), size_t(run.count()) * StaticIndexRecSize);
    }

    // Index entries are read (only when a partly covered block needs its entry) and
    // written back a piece at a time; wholly covered blocks never touch statics0.mul.
    void staticsPass(File& staidx, File* statics, const Runs& runs) {
        auto block = std::make_unique<TStaticBlock>();
        forEachPiece(runs, StaticIndexRecSize, [&](int x0, int x1, size_t bytes) {
            const uint64_t at = world_.staticIndexOffset(x0, runs[size_t(x0)].first);
            bool partial = false;
            for (int x = x0; x <= x1; ++x) partial = partial || runs[size_t(x)].partial;
            if (partial) {
                staidx.seek(at);
                staidx.read(piece_.data(), bytes);
            }
            uint8_t* next = piece_.data();
            for (int x = x0; x <= x1; ++x) {
                const ColumnRun& run = runs[size_t(x)];
                for (int y = run.first; y <= run.last; ++y, next += StaticIndexRecSize) {
                    TStaticIndexRec entry;
                    if (run.kind[size_t(y)] == BlockCoverage::Wholly) {
                        entry = TStaticIndexRec{-1, -1, 0};
                        ++result_.StaticBlocksCleared;
                    } else {
                        decodeIndexRec(next, entry);
                        ReadBlockStatics(*statics, entry, *block);
                        result_.StaticsRemoved += removeInside(*block, x, y);
                        warnIfCrowded([this](const std::string& line) { result_.Warnings.push_back(line); }, x, y,
                                      block->Count);
                        WriteBlockStatics(*statics, entry, *block);
                        ++result_.StaticBlocksTrimmed;
                    }
                    encodeIndexRec(entry, next);
                }
            }
            staidx.seek(at);
            staidx.write(piece_.data(), bytes);
        });
    }

    // Removes the records whose cell is inside, each replaced by the last record, so the
    // survivors do not keep their order. Returns how many were removed.
    int removeInside(TStaticBlock& block, int x, int y) const {
        int removed = 0;
        int k = 0;
        while (k < block.Count) {
            const TStaticRec& rec = block.Records[size_t(k)];
            const uint16_t cellX = uint16_t(x * BlockSize + rec.X);
            const uint16_t cellY = uint16_t(y * BlockSize + rec.Y);
            if (!cellInside(area_, cellX, cellY)) {
                ++k;
                continue;
            }
            const size_t last = size_t(block.Count) - 1;
            block.Records[size_t(k)] = block.Records[last];
            block.Records[last] = TStaticRec{};
            --block.Count;
            ++removed;
        }
        return removed;
    }

    // The touched blocks are read and written a piece at a time: the cells of partly
    // covered blocks outside the rectangle, and every block's header, go back as they
    // were, and a whole-world fill costs a few large transfers instead of a system call
    // per block.
    void mapPass(File& map, const FillTile& tile, const Runs& runs) {
        // With one tile id every wholly covered block gets the same 192 bytes.
        uint8_t sameCells[MapBlockCellBytes];
        for (int c = 0; c < CellsPerBlock; ++c) {
            le::put16(sameCells + c * MapCellSize, tile.id);
            sameCells[c * MapCellSize + 2] = static_cast<uint8_t>(tile.altitude);
        }
        forEachPiece(runs, MapBlockSize, [&](int x0, int x1, size_t bytes) {
            const uint64_t at = world_.mapBlockOffset(x0, runs[size_t(x0)].first);
            map.seek(at);
            map.read(piece_.data(), bytes);
            uint8_t* next = piece_.data();
            for (int x = x0; x <= x1; ++x) {
                const ColumnRun& run = runs[size_t(x)];
                for (int y = run.first; y <= run.last; ++y, next += MapBlockSize) {
                    uint8_t* cells = next + MapBlockHeaderSize;
                    const bool whole = run.kind[size_t(y)] == BlockCoverage::Wholly;
                    if (whole && tile.group < 0) {
                        std::memcpy(cells, sameCells, sizeof sameCells);
                        result_.CellsFilled += CellsPerBlock;
                    } else {
                        // Column by column inside the block: the order of the random draws.
                        for (int cx = 0; cx < BlockSize; ++cx)
                            for (int cy = 0; cy < BlockSize; ++cy) {
                                if (!whole &&
                                    !cellInside(area_, uint32_t(x * BlockSize + cx), uint32_t(y * BlockSize + cy)))
                                    continue;
                                uint8_t* cell = cells + (cy * BlockSize + cx) * MapCellSize;
                                cell[2] = static_cast<uint8_t>(tile.altitude);
                                le::put16(cell, tile.next());
                                ++result_.CellsFilled;
                            }
                    }
                    ++result_.MapBlocksWritten;
                }
            }
            map.seek(at);
            map.write(piece_.data(), bytes);
        });
    }

    // Walks the columns in file order, handing `work` pieces of the file: one column's
    // run, or several columns whose runs follow each other in the file (a run reaching
    // the last row, the next starting at row 0), up to PieceBytes. Progress is reported
    // for every column, after the piece that holds it.
    template <class Work>
    void forEachPiece(const Runs& runs, size_t recordSize, Work work) {
        for (int x = 0; x < world_.blocksWide;) {
            if (!runs[size_t(x)].touched()) {
                reportColumn(progress_, world_, x++);
                continue;
            }
            int end = x;
            size_t bytes = size_t(runs[size_t(x)].count()) * recordSize;
            while (end + 1 < world_.blocksWide && runs[size_t(end)].last == world_.blocksHigh - 1 &&
                   runs[size_t(end + 1)].first == 0) {
                const size_t more = size_t(runs[size_t(end + 1)].count()) * recordSize;
                if (bytes + more > PieceBytes) break;
                bytes += more;
                ++end;
            }
            work(x, end, bytes);
            for (; x <= end; ++x) reportColumn(progress_, world_, x);
        }
    }

    const FillClearRequest& request_;
    FillClearArea area_;
    WorldGeometry world_;
    const Progress& progress_;
    FillClearResult result_;
    std::vector<uint8_t> indexSlice_ = std::vector<uint8_t>(world_.staticIndexColumnBytes());
    std::vector<uint8_t> piece_ = std::vector<uint8_t>(PieceBytes);
};

} // namespace

std::string altitudeOutOfRangeMessage(const std::string& typed) {
    return "The altitude must be " + std::to_string(FillAltitudeMin) + ".." + std::to_string(FillAltitudeMax) +
           ", not " + typed;
}

FillClearRequest validateFillClear(const FillClearInput& input) {
    if (!input.ClearStatics && !input.FillMap) throw Error(NoFillClearPassMessage);
    FillClearRequest request;
    request.Area = parseFillClearArea(input.Top, input.Left, input.Right, input.Bottom);
    request.ClearStatics = input.ClearStatics;
    request.FillMap = input.FillMap;
    request.StaIdxPath = input.StaIdxPath;
    request.StaticsPath = input.StaticsPath;
    request.MapPath = input.MapPath;
    request.Facet = input.Facet;
    if (input.FillMap) {
        // Altitude first, then the tile: the order in which each cell is filled.
        const int32_t altitude = parseInt(input.Altitude);
        if (altitude < FillAltitudeMin || altitude > FillAltitudeMax)
            throw Error(altitudeOutOfRangeMessage(input.Altitude));
        request.Altitude = int8_t(altitude);
        request.TileGroup = FindNamedTile(input.Tile);
        if (request.TileGroup < 0) request.TileId = uint16_t(SpacedHexToInt(input.Tile, 2));
    }
    return request;
}

WorldGeometry FillClearWorld(const FillClearRequest& request) {
    std::vector<WorldFile> files;
    if (request.ClearStatics) {
        files.push_back({WorldFileKind::StaticIndex, request.StaIdxPath, true});
        files.push_back({WorldFileKind::Statics, request.StaticsPath});
    }
    if (request.FillMap) files.push_back({WorldFileKind::Map, request.MapPath, true});
    return resolveWorld(files, request.Facet);
}

FillClearResult FillClear(const FillClearRequest& request, const Progress& progress) {
    const WorldLock lock({request.ClearStatics ? request.StaIdxPath : "", request.FillMap ? request.MapPath : ""},
                         "fill", {request.StaticsPath});
    FillClearRun run(request, FillClearWorld(request), progress);
    const FillTile tile{request.TileGroup, request.TileId, request.Altitude};
    return run.run(request.FillMap ? &tile : nullptr);
}

FillClearResult FillClear(const FillClearInput& input, const Progress& progress) {
    return FillClear(validateFillClear(input), progress);
}

} // namespace tq
