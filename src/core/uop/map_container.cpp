#include "core/uop/map_container.h"

#include "core/ascii_case.h"
#include "core/bytes.h"
#include "core/error.h"
#include "core/facets.h"
#include "core/uop/container.h"
#include "core/world.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace tq::uop {

uint64_t mapEntryBytes() { return uint64_t(MapEntryBlocks) * MapBlockSize; }

bool isContainerPath(const std::string& path) {
    const std::string lower = asciiLower(path);
    return lower.size() >= 4 && lower.compare(lower.size() - 4, 4, ".uop") == 0;
}

std::string mapEntryName(int facet, uint32_t id) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%08u", id);
    return "build/map" + std::to_string(facet) + "legacymul/" + digits + ".dat";
}

namespace {

class ContainerMap final : public File {
public:
    ContainerMap(const std::string& path, OpenMode mode, std::optional<int> facet) : path_(path), mode_(mode) {
        if (mode != OpenMode::Read && mode != OpenMode::ReadWrite)
            throw Error(path + ": a map container is only read or written in place", path);
        file_ = openFile(path, mode);
        container_ = Container::read(*file_, path);
        const int f = chooseFacet(facet);
        for (uint32_t id = 0;; ++id) {
            const std::string name = mapEntryName(f, id);
            const Entry* e = container_.find(name);
            if (!e) break;
            container_.requireReadable(*e, name);
            chunks_.push_back({*e, name});
        }
        if (chunks_.empty())
            throw Error(path + ": the container holds no map: it has no entry " + mapEntryName(f, 0), path);
        // A missing entry in the middle would silently make the map shorter.
        for (uint32_t id = uint32_t(chunks_.size()) + 1; id <= uint32_t(container_.entries().size()) + 1; ++id)
            if (container_.find(mapEntryName(f, id)))
                throw Error(path + ": the container has " + mapEntryName(f, id) + " but no " +
                                mapEntryName(f, uint32_t(chunks_.size())), path);
        for (size_t i = 0; i < chunks_.size(); ++i) {
            const uint64_t bytes = chunks_[i].entry.unpackedSize;
            const bool last = i + 1 == chunks_.size();
            if (bytes > mapEntryBytes() || (!last && bytes != mapEntryBytes()))
                throw Error(path + ": map entry " + chunks_[i].name + " is " + groupedNumber(bytes) +
                                " bytes; map entries hold " + groupedNumber(mapEntryBytes()) +
                                " bytes (the last one up to that)", path);
            size_ += bytes;
        }
        live_.assign(chunks_.size(), false);
        unpacked_.resize(chunks_.size());
    }

    void seek(uint64_t offset) override { pos_ = offset; }
    uint64_t position() const override { return pos_; }
    uint64_t size() override { return size_; }

    void read(void* buffer, size_t n) override {
        if (pos_ > size_ || n > size_ - pos_) throw Error(msg::ReadBeyondEnd, path_);
        copyOut(static_cast<uint8_t*>(buffer), n);
    }

    size_t readSome(void* buffer, size_t n) override {
        if (pos_ >= size_) return 0;
        n = size_t(std::min<uint64_t>(n, size_ - pos_));
        copyOut(static_cast<uint8_t*>(buffer), n);
        return n;
    }

    void write(const void* buffer, size_t n) override {
        if (mode_ == OpenMode::Read) throw Error(msg::AccessDenied, path_);
        // The container's length never changes: the map cannot grow.
        if (pos_ > size_ || n > size_ - pos_) throw Error(msg::ReadBeyondEnd, path_);
        // Refused before any byte is written.
        const size_t first = size_t(pos_ / mapEntryBytes()), last = size_t((pos_ + n - 1) / mapEntryBytes());
        for (size_t k = first; n > 0 && k <= last; ++k)
            if (chunks_[k].entry.compression != Stored)
                throw Error(path_ + ": map entry " + chunks_[k].name + " is compressed; it cannot be written in place",
                            path_);
        const auto* bytes = static_cast<const uint8_t*>(buffer);
        while (n > 0) {
            const size_t k = size_t(pos_ / mapEntryBytes());
            const uint64_t within = pos_ % mapEntryBytes();
            Chunk& c = chunks_[k];
            const size_t piece = size_t(std::min<uint64_t>(n, c.entry.unpackedSize - within));
            writeInto(k, within, bytes, piece);
            pos_ += piece;
            bytes += piece;
            n -= piece;
        }
    }

    void sync() override { file_->sync(); }
    void close() override { file_->close(); }
    std::string name() const override { return path_; }

private:
    struct Chunk {
        Entry entry;
        std::string name;
    };

    int chooseFacet(std::optional<int> facet) const {
        if (auto named = facetFromFileName(path_)) return *named;
        if (facet) return *facet;
        for (int f = 0; f < FacetCount; ++f)
            if (container_.find(mapEntryName(f, 0))) return f;
        return 0;
    }

    void copyOut(uint8_t* out, size_t n) {
        while (n > 0) {
            const size_t k = size_t(pos_ / mapEntryBytes());
            const uint64_t within = pos_ % mapEntryBytes();
            const Chunk& c = chunks_[k];
            const size_t piece = size_t(std::min<uint64_t>(n, c.entry.unpackedSize - within));
            if (c.entry.compression == Stored) {
                file_->seek(c.entry.dataOffset() + within);
                file_->read(out, piece);
            } else {
                if (unpacked_[k].empty()) unpacked_[k] = container_.readEntry(*file_, c.entry, c.name);
                std::memcpy(out, unpacked_[k].data() + within, piece);
            }
            pos_ += piece;
            out += piece;
            n -= piece;
        }
    }

    // Writes `n` bytes at `within` into stored entry k and brings its Adler-32 along.
    void writeInto(size_t k, uint64_t within, const uint8_t* bytes, size_t n) {
        Entry& e = chunks_[k].entry;
        uint32_t adler;
        if (within == 0 && n == e.storedSize) {
            adler = adler32(bytes, n);
        } else {
            if (!live_[k]) {
                // Once per entry: the checksum of what is there now, whatever the slot said.
                std::vector<uint8_t> whole(e.storedSize);
                file_->seek(e.dataOffset());
                if (!whole.empty()) file_->read(whole.data(), whole.size());
                e.adler = adler32(whole.data(), whole.size());
                live_[k] = true;
            } else {
                // From then on the slot's: another writer (another window) may have changed
                // the entry since, keeping the slot right as this one does.
                uint8_t field[4];
                file_->seek(e.slotOffset + SlotAdlerOffset);
                file_->read(field, sizeof field);
                e.adler = le::u32(field);
            }
            std::vector<uint8_t> before(n);
            file_->seek(e.dataOffset() + within);
            file_->read(before.data(), n);
            adler = e.adler;
            for (size_t i = 0; i < n; ++i)
                if (before[i] != bytes[i]) adler = adler32Patch(adler, e.storedSize, within + i, before[i], bytes[i]);
        }
        file_->seek(e.dataOffset() + within);
        file_->write(bytes, n);
        uint8_t field[4];
        le::put32(field, adler);
        file_->seek(e.slotOffset + SlotAdlerOffset);
        file_->write(field, sizeof field);
        e.adler = adler;
        live_[k] = true;
    }

    std::string path_;
    OpenMode mode_;
    std::unique_ptr<File> file_;
    Container container_;
    std::vector<Chunk> chunks_;
    std::vector<bool> live_;  // the entry's checksum was made right by this file once
    std::vector<std::vector<uint8_t>> unpacked_;  // compressed entries, once read
    uint64_t size_ = 0;
    uint64_t pos_ = 0;
};

} // namespace

std::unique_ptr<File> openMapContainer(const std::string& path, OpenMode mode, std::optional<int> facet) {
    return std::make_unique<ContainerMap>(path, mode, facet);
}

uint64_t mapContainerLength(const std::string& path, std::optional<int> facet) {
    return openMapContainer(path, OpenMode::Read, facet)->size();
}

} // namespace tq::uop
