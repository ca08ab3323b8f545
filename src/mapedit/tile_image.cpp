#include "mapedit/tile_image.h"

#include "core/bytes.h"
#include "core/error.h"
#include "core/file_system.h"
#include "core/uop/container.h"
#include "mapedit/client_files.h"

#include <algorithm>

namespace tq {
namespace {

constexpr int ImageIndexRecSize = 12;  // Offset, Length, Extra: three 32-bit numbers
constexpr int ArtReadBytes = LandArtBytes - 4;  // what is read of an art entry
constexpr int DiamondRows = 44;
constexpr int DiamondPixels = 1012;

struct ImageIndexRec {
    int32_t Offset = 0;
    int32_t Length = 0;
};

std::string locate(const std::string& folder, const char* name) {
    std::string path = findClientFile(folder, name);
    // Not found in any case: open the plain name so the file layer gives its usual message.
    return path.empty() ? clientFilePath(folder, name) : path;
}

} // namespace

// One index file read into memory and its data file, opened on first need and kept open.
struct TileImageLoader::Source {
    const char* indexName;
    const char* dataName;
    bool indexLoaded = false;
    std::vector<uint8_t> index;  // at most the entries of ids 0..4095
    std::unique_ptr<File> data;
    uint64_t dataSize = 0;

    Source(const char* i, const char* d) : indexName(i), dataName(d) {}

    ImageIndexRec entry(const std::string& folder, uint16_t id) {
        if (!indexLoaded) {
            auto file = openFile(locate(folder, indexName), OpenMode::Read);
            const uint64_t wanted = uint64_t(TileImageIdLimit) * ImageIndexRecSize;
            index.resize(size_t(std::min(file->size(), wanted)));
            file->read(index.data(), index.size());
            file->close();
            indexLoaded = true;
        }
        const size_t at = size_t(id) * ImageIndexRecSize;
        // An index too short to hold the entry is a damaged file, as in the data files.
        if (at + ImageIndexRecSize > index.size()) throw Error(msg::ReadBeyondEnd);
        return {le::i32(index.data() + at), le::i32(index.data() + at + 4)};
    }

    // Reads n bytes at offset, never past the end of the data file.
    void read(const std::string& folder, int32_t offset, size_t n, uint8_t* out) {
        if (!data) {
            data = openFile(locate(folder, dataName), OpenMode::Read);
            dataSize = data->size();
        }
        if (offset < 0 || uint64_t(offset) + n > dataSize) throw Error(msg::ReadBeyondEnd);
        data->seek(uint64_t(offset));
        data->read(out, n);
    }
};

// artLegacyMUL.uop, checked once and kept open.
struct TileImageLoader::ArtContainer {
    std::unique_ptr<File> file;
    uop::Container container;

    explicit ArtContainer(const std::string& path) : file(openFile(path, OpenMode::Read)) {
        container = uop::Container::read(*file, path);
    }
};

TileImageLoader::TileImageLoader(std::string clientFolder) : folder_(std::move(clientFolder)) {}
TileImageLoader::~TileImageLoader() = default;

TileImageLoader::Source& TileImageLoader::textures() {
    if (!textures_) textures_ = std::make_unique<Source>(TexIdxName, TexMapsName);
    return *textures_;
}

TileImageLoader::Source& TileImageLoader::art() {
    if (!art_) art_ = std::make_unique<Source>(ArtIdxName, ArtName);
    return *art_;
}

std::optional<TileImage> TileImageLoader::texture(uint16_t id) {
    if (id >= TileImageIdLimit) return std::nullopt;
    const ImageIndexRec rec = textures().entry(folder_, id);
    int size;
    if (rec.Length == SmallTextureBytes) size = 64;
    else if (rec.Length == LargeTextureBytes) size = 128;
    else return std::nullopt;
    if (rec.Offset < 0) return std::nullopt;  // no place in the data file: no texture
    std::vector<uint8_t> bytes(size_t(rec.Length));
    textures().read(folder_, rec.Offset, bytes.size(), bytes.data());
    TileImage image(size, size);
    for (size_t i = 0; i < image.Pixels.size(); ++i) image.Pixels[i] = le::u16(bytes.data() + 2 * i);
    return image;
}

std::optional<TileImage> TileImageLoader::landArt(uint16_t id) {
    // 7 and 8 never come from art, whatever art.mul holds for them.
    if (id == 7 || id == 8) return std::nullopt;
    if (id >= TileImageIdLimit) return std::nullopt;
    if (!artFromContainer_) artFromContainer_ = artFromContainer(folder_);
    uint8_t bytes[ArtReadBytes];
    if (*artFromContainer_) {
        if (!artContainer_) artContainer_ = std::make_unique<ArtContainer>(findClientFile(folder_, ArtContainerName));
        const std::string name = artEntryName(id);
        const uop::Entry* entry = artContainer_->container.find(name);
        if (!entry || entry->unpackedSize != uint32_t(LandArtBytes)) return std::nullopt;
        const std::vector<uint8_t> stored = artContainer_->container.readEntry(*artContainer_->file, *entry, name);
        std::copy(stored.begin(), stored.begin() + ArtReadBytes, bytes);
    } else {
        const ImageIndexRec rec = art().entry(folder_, id);
        if (rec.Offset < 0 || rec.Length != LandArtBytes) return std::nullopt;
        art().read(folder_, rec.Offset, sizeof bytes, bytes);
    }
    uint16_t diamond[DiamondPixels];
    for (int i = 0; i < DiamondPixels; ++i) diamond[i] = le::u16(bytes + 2 * i);
    return unfoldLandArt(diamond);
}

TileImage TileImageLoader::tile(uint16_t id) {
    if (auto image = texture(id)) return std::move(*image);
    if (auto image = landArt(id)) return std::move(*image);
    return TileImage(1, 1);
}

TileImage unfoldLandArt(const uint16_t* diamond) {
    TileImage image(LandArtSize, LandArtSize);
    // Diamond row r lies on the anti-diagonal x + y = 2r + 1, from its lower-left end
    // up to its upper-right end: the top corner lands top-left, the bottom corner bottom-right.
    int next = 0;
    for (int r = 0; r < DiamondRows; ++r) {
        const int length = r < DiamondRows / 2 ? 2 * (r + 1) : 2 * (DiamondRows - r);
        const int x0 = std::max(0, 2 * r - (DiamondRows - 1));
        for (int k = 0; k < length; ++k) {
            const int x = x0 + k;
            image.pixel(x, 2 * r + 1 - x) = diamond[next++];
        }
    }
    // The positions between the diagonals repeat the pixel above (on the top row, the one
    // to the left); the top-left corner stays black.
    for (int y = 0; y < LandArtSize; ++y)
        for (int x = (y % 2 == 0) ? 0 : 1; x < LandArtSize; x += 2) {
            if (y > 0) image.pixel(x, y) = image.pixel(x, y - 1);
            else if (x > 0) image.pixel(x, y) = image.pixel(x - 1, y);
        }
    return image;
}

std::optional<TileImage> LoadTextureImage(const std::string& clientFolder, uint16_t id, const PathCheck& pathCheck) {
    if (pathCheck && !pathCheck()) return std::nullopt;
    if (id >= TileImageIdLimit) return std::nullopt;
    TileImageLoader loader(clientFolder);
    return loader.texture(id);
}

std::optional<TileImage> LoadLandArtImage(const std::string& clientFolder, uint16_t id, const PathCheck& pathCheck) {
    if (id == 7 || id == 8) return std::nullopt;
    if (pathCheck && !pathCheck()) return std::nullopt;
    if (id >= TileImageIdLimit) return std::nullopt;
    TileImageLoader loader(clientFolder);
    return loader.landArt(id);
}

TileImage LoadTileImage(const std::string& clientFolder, uint16_t id, const PathCheck& pathCheck) {
    if (auto image = LoadTextureImage(clientFolder, id, pathCheck)) return std::move(*image);
    if (auto image = LoadLandArtImage(clientFolder, id, pathCheck)) return std::move(*image);
    return TileImage(1, 1);
}

} // namespace tq
