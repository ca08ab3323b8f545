#include "worldsave/folder_save.h"

#include "core/ascii_case.h"
#include "core/error.h"
#include "core/file_system.h"
#include "worldsave/folder_save_text.h"
#include "worldsave/patch_writer.h"
#include "worldsave/world_save_text.h"

#include <algorithm>
#include <exception>
#include <thread>

namespace tq {

namespace {

void say(const LogSink& log, const std::string& line) {
    if (log) log(line);
}

constexpr uint32_t Type255 = 255;

// Writes `text` without the byte ranges of `taken` (ascending, not overlapping) in one write:
// the stretches between taken records are short and many. `kept` is reused from file to file.
void writeWithout(File& file, std::string_view text, const std::vector<std::pair<size_t, size_t>>& taken,
                  LargeVector<char>& kept) {
    kept.clear();
    kept.reserve(text.size());
    size_t at = 0;
    for (const auto& [begin, end] : taken) {
        if (begin > at) kept.insert(kept.end(), text.data() + at, text.data() + begin);
        at = end;
    }
    if (at < text.size()) kept.insert(kept.end(), text.data() + at, text.data() + text.size());
    if (!kept.empty()) file.write(kept.data(), kept.size());
    file.startWriteback();
}

} // namespace

namespace {

// What one region file gives up: its taken items in file order, their byte ranges, the log
// lines, how many chosen items lie outside the map, and the bad number that stopped the
// reading (what came before it still counts).
struct FileTake {
    std::vector<TakenItem> items;
    std::vector<std::pair<size_t, size_t>> taken;
    std::vector<std::string> lines;
    int64_t outside = 0;
    std::exception_ptr failure;
};

void takeFromFile(std::string_view text, const std::string& path, SelectionRule rule, const AutoSelectIds& autoIds,
                  const WorldGeometry& world, FileTake& out) {
    out.items.clear();
    out.taken.clear();
    out.lines.clear();
    out.outside = 0;
    out.failure = nullptr;
    try {
        wsc::forEachRecord(text, [&](const wsc::Record& r) {
            if (!r.closed || !r.isKind(wsc::ItemKind) || rule == SelectionRule::None) return;
            const uint32_t type = r.type ? wsc::requireNumber(*r.type, path, "Type") : 0;
            const uint32_t id = r.id ? wsc::requireNumber(*r.id, path, "ID") : 0;
            const bool chosen = type == Type255 || (rule == SelectionRule::Auto && type == 0 && id <= 0xFFFF &&
                                                    autoIds.test(size_t(id)));
            if (!chosen) return;
            if (r.cont && wsc::requireNumber(*r.cont, path, "Cont") != wsc::NotInContainer) return;
            if (!r.location) return;  // an item without a place stands nowhere a static could
            const wsc::Location at = wsc::requireLocation(*r.location, path);
            if (at.world != uint32_t(world.facet)) return;
            if (at.x < 0 || at.y < 0 || at.x >= world.cellsWide() || at.y >= world.cellsHigh()) {
                ++out.outside;
                return;
            }
            const uint32_t colour = r.colour ? wsc::requireNumber(*r.colour, path, "Colour") : 0;
            const std::string serial =
                r.serial ? std::string(r.serial->text) : nameOf(path) + " line " + std::to_string(r.line);
            out.lines.push_back("Selecting item for export: " + serial);
            const int x = int(at.x), y = int(at.y);
            TakenItem item;
            item.block = uint32_t(world.blockNumber(x / BlockSize, y / BlockSize));
            item.rec.ItemId = uint16_t(id);
            item.rec.X = uint8_t(x % BlockSize);
            item.rec.Y = uint8_t(y % BlockSize);
            item.rec.Z = int8_t(uint8_t(uint64_t(at.z) & 0xFF));
            item.rec.Color = uint16_t(colour);
            out.items.push_back(item);
            out.taken.push_back({r.begin, r.end});
        });
    } catch (...) {
        out.failure = std::current_exception();
    }
}

} // namespace

void takeFolderItems(const WorldSave& save, SelectionRule rule, const AutoSelectIds& autoIds,
                     const WorldGeometry& world, const LogSink& log, const Progress& progress, FreezeTake& take,
                     BackgroundPrepare* preparer) {
    int64_t outside = 0;
    // Two files at a time: the second is read through on a thread of its own while this one
    // reads the first; the results are taken in file order, as one file after the other.
    wstext::FileBytes bytes[2];
    FileTake takes[2];
    LargeVector<char> kept;
    const std::vector<std::string>& files = save.files;
    for (size_t i = 0; i < files.size(); i += 2) {
        const size_t count = std::min<size_t>(2, files.size() - i);
        std::string_view texts[2];
        texts[0] = bytes[0].read(files[i]);
        std::exception_ptr unread;  // the second file could not be read: after the first, as before
        if (count == 2) {
            try {
                texts[1] = bytes[1].read(files[i + 1]);
            } catch (...) {
                unread = std::current_exception();
            }
        }
        std::thread second;
        if (count == 2 && !unread)
            second = std::thread([&] { takeFromFile(texts[1], files[i + 1], rule, autoIds, world, takes[1]); });
        takeFromFile(texts[0], files[i], rule, autoIds, world, takes[0]);
        if (second.joinable()) second.join();
        for (size_t k = 0; k < count; ++k) {
            if (k == 1 && unread) std::rethrow_exception(unread);
            FileTake& t = takes[k];
            for (const std::string& line : t.lines) say(log, line);
            if (t.failure) std::rethrow_exception(t.failure);
            outside += t.outside;
            take.items.insert(take.items.end(), t.items.begin(), t.items.end());
            if (!t.taken.empty()) {
                auto file = std::make_unique<AtomicFile>(files[i + k]);
                writeWithout(file->file(), texts[k], t.taken, kept);
                take.files.push_back(std::move(file));
                if (preparer) preparer->add(*take.files.back());
            }
            progress.pumpEvents();
        }
    }
    // Flushed once all are written: the disk has been at the first ones meanwhile.
    if (!preparer)
        for (const auto& file : take.files) file->prepare();
    if (outside > 0)
        say(log, "Skipped " + std::to_string(outside) + (outside == 1 ? " item" : " items") +
                     " outside the map of facet " + std::to_string(world.facet));
}

uint32_t highestFolderSerial(const WorldSave& save) {
    uint32_t highest = 0;
    wstext::FileBytes bytes;
    for (const std::string& path : save.files) {
        const std::string_view text = bytes.read(path);
        wsc::forEachRecord(text, [&](const wsc::Record& r) {
            if (!r.serial) return;
            const uint32_t serial = wsc::requireNumber(*r.serial, path, "Serial");
            if (serial != wsc::InvalidSerial && serial > highest) highest = serial;
        });
    }
    return highest;
}

std::string meltedItemRecord(uint32_t serial, const TStaticRec& rec, int x, int y, int facet, std::string_view eol) {
    std::string r;
    auto line = [&](const std::string& s) {
        r += s;
        r += eol;
    };
    line("[ITEM]");
    line("Serial=" + wsc::hexNumber(serial, 8));
    line("ID=" + wsc::hexNumber(rec.ItemId, 4));
    line("Colour=" + wsc::hexNumber(rec.Color, 4));
    line("Location=" + std::to_string(x) + "," + std::to_string(y) + "," + std::to_string(int(rec.Z)) + "," +
         std::to_string(facet) + ",0");
    line("Cont=" + wsc::hexNumber(wsc::NotInContainer, 8));
    line("Type=" + std::to_string(Type255));
    line(std::string(wsc::RecordEnd));
    line("");
    return r;
}

std::unique_ptr<AtomicFile> prepareFolderMelt(const WorldSave& save, const TStaticBlock& block, int bx, int by,
                                              const WorldGeometry& world, const LogSink& log) {
    if (block.Count == 0) {
        say(log, NothingToDoMessage);
        return nullptr;
    }
    const uint32_t highest = highestFolderSerial(save);
    const uint32_t first = highest < wsc::FirstItemSerial ? wsc::FirstItemSerial : highest + 1;
    if (highest >= wsc::InvalidSerial - 1 || uint64_t(first) + block.Count - 1 >= wsc::InvalidSerial)
        throw Error("The serials of " + (save.path.empty() ? std::string(".") : save.path) +
                    " have run out: no room for " + std::to_string(block.Count) + " more items");

    const int x0 = bx * BlockSize, y0 = by * BlockSize;
    // The area's file as the folder spells it ("3.1.WSC"), or a new one.
    std::string path = fileInFolder(save.path, wsc::regionFileName(x0, y0));
    for (const std::string& file : save.files)
        if (asciiLower(nameOf(file)) == wsc::regionFileName(x0, y0)) path = file;
    const bool exists = fileExists(path);
    const std::string old = exists ? readWholeFile(path) : std::string();
    bool crlf = false;
    if (!old.empty()) crlf = wsc::parseText(old).crlf;
    else if (!save.files.empty()) crlf = wsc::parseText(readWholeFile(save.files.front())).crlf;
    const std::string_view eol = crlf ? "\r\n" : "\n";

    std::string added;
    if (!old.empty() && old.back() != '\n') added += eol;
    for (int i = 0; i < block.Count; ++i) {
        const TStaticRec& rec = block.Records[size_t(i)];
        added += meltedItemRecord(first + uint32_t(i), rec, x0 + rec.X, y0 + rec.Y, world.facet, eol);
    }
    auto file = std::make_unique<AtomicFile>(path);
    if (!old.empty()) file->file().write(old.data(), old.size());
    file->file().write(added.data(), added.size());
    file->prepare();
    return file;
}

std::vector<std::string> worldSaveFilesOf(const std::string& path) {
    try {
        return worldSaveFiles(DetectWorldSave(path));
    } catch (const Error&) {
        return {path};
    }
}

std::string worldSaveLockPath(const WorldSave& save) {
    if (save.format != WorldSaveFormat::Folder) return {};
    return save.path.empty() ? "." : save.path;
}

std::vector<std::string> worldSaveFiles(const WorldSave& save) {
    if (save.format != WorldSaveFormat::Folder) return {save.path};
    return save.files;
}

} // namespace tq
