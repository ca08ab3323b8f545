#include "mapedit/tile_picture_cache.h"

#include "mapedit/tile_image.h"

namespace tq {

namespace {
// Enough for every tile at a few zoom steps; past it the cache starts again.
constexpr size_t CacheLimitBytes = size_t(256) << 20;
}

void TilePictureCache::setLoader(Loader loader) {
    loader_ = std::move(loader);
    clear();
}

void TilePictureCache::clear() {
    pictures_.clear();
    bytes_ = 0;
    loads_ = 0;
}

QImage tileImageToQImage(const TileImage& tile) {
    QImage image(tile.Width, tile.Height, QImage::Format_RGB32);
    auto widen = [](int v) { return (2 * v * 255 + 31) / 62; };
    for (int y = 0; y < tile.Height; ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < tile.Width; ++x) {
            const uint16_t v = tile.pixel(x, y);
            row[x] = qRgb(widen((v >> 10) & 31), widen((v >> 5) & 31), widen(v & 31));
        }
    }
    return image;
}

QImage scaleNearest(const QImage& picture, int size) {
    QImage src = picture.format() == QImage::Format_RGB32 ? picture : picture.convertToFormat(QImage::Format_RGB32);
    if (src.isNull()) {
        QImage black(size, size, QImage::Format_RGB32);
        black.fill(Qt::black);
        return black;
    }
    QImage out(size, size, QImage::Format_RGB32);
    const int sw = src.width(), sh = src.height();
    for (int y = 0; y < size; ++y) {
        const auto* in = reinterpret_cast<const QRgb*>(src.constScanLine(int(int64_t(y) * sh / size)));
        auto* o = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < size; ++x) o[x] = in[int64_t(x) * sw / size];
    }
    return out;
}

const QImage& TilePictureCache::picture(uint16_t id, int size) {
    const uint32_t key = (uint32_t(id) << 16) | uint32_t(size & 0xFFFF);
    auto it = pictures_.find(key);
    if (it != pictures_.end()) return it->second;
    QImage full;
    if (loader_) full = loader_(id);
    ++loads_;
    if (bytes_ > CacheLimitBytes) {
        pictures_.clear();
        bytes_ = 0;
    }
    QImage scaled = scaleNearest(full, size);
    bytes_ += size_t(scaled.sizeInBytes());
    return pictures_.emplace(key, std::move(scaled)).first->second;
}

} // namespace tq
