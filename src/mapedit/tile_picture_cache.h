#pragma once
#include <QImage>

#include <cstdint>
#include <functional>
#include <unordered_map>

namespace tq {

// Tile pictures ready to draw: scaled by nearest neighbour to a square cell, 32-bit,
// kept by (tile id, cell size). The map and the tile list draw the same few hundred
// tiles over and over; without this every cell would open the client's files again.
// The owner empties it when the client folder changes.
class TilePictureCache {
public:
    // The full-size picture of a tile (any size; a 1 x 1 black one when the tile has none).
    // May throw the file layer's errors.
    using Loader = std::function<QImage(uint16_t id)>;

    void setLoader(Loader loader);
    // The picture of tile `id` at size x size pixels. Throws what the loader throws.
    const QImage& picture(uint16_t id, int size);
    void clear();
    size_t count() const { return pictures_.size(); }
    // How often the loader ran since the last clear (tests and benchmarks look).
    int loads() const { return loads_; }

private:
    Loader loader_;
    std::unordered_map<uint32_t, QImage> pictures_;
    size_t bytes_ = 0;
    int loads_ = 0;
};

struct TileImage;
// A client picture (15-bit colour) as a 32-bit image, each 5-bit channel widened to 8
// bits rounded (31 becomes 255), as terraquill-cli tile-image writes it.
QImage tileImageToQImage(const TileImage& tile);

// Scales a picture to size x size by repeating or dropping whole pixels.
QImage scaleNearest(const QImage& picture, int size);

} // namespace tq
