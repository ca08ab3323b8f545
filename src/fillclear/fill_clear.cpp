#include "fillclear/fill_clear.h"

#include "core/bytes.h"
#include "core/error.h"
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

int BlockInArea(uint16_t top, uint16_t left, uint16_t right, uint16_t bottom, uint16_t blockX, uint16_t blockY) {
    const uint32_t bx0 = uint32_t(blockX) * BlockSize;
    const uint32_t by0 = uint32_t(blockY) * BlockSize;
    if (by0 >= top && bx0 >= left && bx0 + 7 <= right && by0 + 7 <= bottom) return 2;
    if (by0 + 7 >= top && bx0 + 7 >= left && bx0 <= right && by0 <= bottom) return 1;
    return 0;
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
    std::array<uint8_t, BlocksY> kind{};  // BlockInArea of every block of the column

    bool touched() const { return first >= 0; }
    int count() const { return last - first + 1; }
};

void classifyColumn(const FillClearArea& a, int x, ColumnRun& run) {
    run.first = run.last = -1;
    run.partial = false;
    for (int y = 0; y < BlocksY; ++y) {
        const int kind = BlockInArea(a.Top, a.Left, a.Right, a.Bottom, uint16_t(x), uint16_t(y));
        run.kind[size_t(y)] = uint8_t(kind);
        if (kind == 0) continue;
        if (run.first < 0) run.first = y;
        run.last = y;
        if (kind == 1) run.partial = true;
    }
}

bool cellInside(const FillClearArea& a, uint32_t x, uint32_t y) {
    return y >= a.Top && x >= a.Left && x <= a.Right && y <= a.Bottom;
}

void reportColumn(const Progress& progress, int x) {
    progress.report(x * 100 / (BlocksX - 1));
    progress.pumpEvents();
}

// What the map pass puts into each cell: one tile or a draw from a group.
struct FillTile {
    int group = -1;
    uint16_t id = 0;
    int8_t altitude = 0;
    uint16_t next() const { return group >= 0 ? RandomTile(group) : id; }
};

FillTile parseFillTile(const FillClearInput& input) {
    FillTile tile;
    // Altitude first, then the tile: the order in which each cell is filled.
    tile.altitude = static_cast<int8_t>(uint8_t(parseInt(input.Altitude)));
    tile.group = FindNamedTile(input.Tile);
    if (tile.group < 0) tile.id = uint16_t(SpacedHexToInt(input.Tile, 2));
    return tile;
}

// Throws unless the file reaches `end`: in-place passes never grow a file.
void requireSize(File& file, uint64_t end) {
    if (file.size() < end) throw Error(msg::ReadBeyondEnd, file.name());
}

// Everything ReadBlockStatics would refuse, found before the pass writes anything.
void checkPartialEntry(const TStaticIndexRec& entry, uint64_t staticsSize) {
    if (entry.Start == -1) return;
    if (entry.Length % StaticRecSize != 0) throw Error(LengthNotMultipleMessage);
    if (entry.Start < 0 || entry.Length < 0) throw Error(msg::ReadBeyondEnd);
    if (uint32_t(entry.Length) > StaticBlockMaxBytes) throw Error(tooManyStaticsMessage(entry.Length / StaticRecSize));
    if (uint64_t(entry.Start) + uint64_t(entry.Length) > staticsSize) throw Error(msg::ReadBeyondEnd);
}

using Runs = std::array<ColumnRun, BlocksX>;

// The most bytes one read or write of a pass moves (at least one block column of the map).
constexpr size_t PieceBytes = 1 << 20;
static_assert(PieceBytes >= MapColumnBytes);

class FillClearRun {
public:
    FillClearRun(const FillClearInput& input, const FillClearArea& area, const Progress& progress)
        : input_(input), area_(area), progress_(progress) {}

    FillClearResult run(const FillTile* tile) {
        // Every column's run, once: it fixes how far each file must reach and which
        // statics entries must be checked before anything is written.
        auto runs = std::make_unique<Runs>();
        bool anyPartial = false;
        uint64_t indexEnd = 0, mapEnd = 0;
        for (int x = 0; x < BlocksX; ++x) {
            ColumnRun& run = (*runs)[size_t(x)];
            classifyColumn(area_, x, run);
            if (!run.touched()) continue;
            anyPartial = anyPartial || run.partial;
            indexEnd = staticIndexOffset(x, run.last) + StaticIndexRecSize;
            mapEnd = mapBlockOffset(x, run.last) + MapBlockSize;
        }

        std::unique_ptr<File> staidx, statics, map;
        if (input_.ClearStatics) {
            staidx = openFile(input_.StaIdxPath, OpenMode::ReadWrite);
            requireSize(*staidx, indexEnd);
            if (anyPartial) {
                statics = openFile(input_.StaticsPath, OpenMode::ReadWrite);
                checkPartialEntries(*staidx, statics->size(), *runs);
            }
        }
        if (tile) {
            map = openFile(input_.MapPath, OpenMode::ReadWrite);
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
        for (int x = 0; x < BlocksX; ++x) {
            const ColumnRun& run = runs[size_t(x)];
            if (!run.partial) continue;
            readIndexRun(staidx, x, run);
            for (int y = run.first; y <= run.last; ++y) {
                if (run.kind[size_t(y)] != 1) continue;
                TStaticIndexRec entry;
                decodeIndexRec(indexSlice_.data() + size_t(y - run.first) * StaticIndexRecSize, entry);
                checkPartialEntry(entry, staticsSize);
            }
        }
    }

    void readIndexRun(File& staidx, int x, const ColumnRun& run) {
        staidx.seek(staticIndexOffset(x, run.first));
        staidx.read(indexSlice_.data(), size_t(run.count()) * StaticIndexRecSize);
    }

    // Index entries are read (only when a partly covered block needs its entry) and
    // written back a piece at a time; wholly covered blocks never touch statics0.mul.
    void staticsPass(File& staidx, File* statics, const Runs& runs) {
        auto block = std::make_unique<TStaticBlock>();
        forEachPiece(runs, StaticIndexRecSize, [&](int x0, int x1, size_t bytes) {
            const uint64_t at = staticIndexOffset(x0, runs[size_t(x0)].first);
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
                    if (run.kind[size_t(y)] == 2) {
                        entry = TStaticIndexRec{-1, -1, 0};
                        ++result_.StaticBlocksCleared;
                    } else {
                        decodeIndexRec(next, entry);
                        ReadBlockStatics(*statics, entry, *block);
                        result_.StaticsRemoved += removeInside(*block, x, y);
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
            const uint64_t at = mapBlockOffset(x0, runs[size_t(x0)].first);
            map.seek(at);
            map.read(piece_.data(), bytes);
            uint8_t* next = piece_.data();
            for (int x = x0; x <= x1; ++x) {
                const ColumnRun& run = runs[size_t(x)];
                for (int y = run.first; y <= run.last; ++y, next += MapBlockSize) {
                    uint8_t* cells = next + MapBlockHeaderSize;
                    const bool whole = run.kind[size_t(y)] == 2;
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
        for (int x = 0; x < BlocksX;) {
            if (!runs[size_t(x)].touched()) {
                reportColumn(progress_, x++);
                continue;
            }
            int end = x;
            size_t bytes = size_t(runs[size_t(x)].count()) * recordSize;
            while (end + 1 < BlocksX && runs[size_t(end)].last == BlocksY - 1 && runs[size_t(end + 1)].first == 0) {
                const size_t more = size_t(runs[size_t(end + 1)].count()) * recordSize;
                if (bytes + more > PieceBytes) break;
                bytes += more;
                ++end;
            }
            work(x, end, bytes);
            for (; x <= end; ++x) reportColumn(progress_, x);
        }
    }

    const FillClearInput& input_;
    FillClearArea area_;
    const Progress& progress_;
    FillClearResult result_;
    std::array<uint8_t, StaticIndexColumnBytes> indexSlice_{};
    std::vector<uint8_t> piece_ = std::vector<uint8_t>(PieceBytes);
};

} // namespace

FillClearResult FillClear(const FillClearInput& input, const Progress& progress) {
    // All text first, so a typing error changes no file.
    const FillClearArea area = parseFillClearArea(input.Top, input.Left, input.Right, input.Bottom);
    FillTile tile;
    if (input.FillMap) tile = parseFillTile(input);
    if (!input.ClearStatics && !input.FillMap) return {};
    const WorldLock lock({input.ClearStatics ? input.StaIdxPath : "", input.FillMap ? input.MapPath : ""}, "fill",
                         {input.StaticsPath});
    FillClearRun run(input, area, progress);
    return run.run(input.FillMap ? &tile : nullptr);
}

} // namespace tq
