#include "mapedit/map_renderer.h"

#include "core/world.h"
#include "mapedit/tile_picture_cache.h"

#include <QFontMetrics>
#include <QPainter>
#include <algorithm>
#include <cstring>
#include <exception>

namespace tq {

const QImage& MapRenderer::altitudeLabel(int altitude, const QFont& font) {
    if (font != labelFont_) {
        labels_ = {};
        labelFont_ = font;
    }
    QImage& label = labels_[size_t(altitude + 128) & 0xFF];
    if (label.isNull()) {
        const QString text = QStringLiteral(" %1 ").arg(altitude);
        const QFontMetrics fm(font);
        label = QImage(std::max(1, fm.horizontalAdvance(text)), std::max(1, fm.height()), QImage::Format_RGB32);
        label.fill(Qt::white);
        QPainter p(&label);
        p.setFont(font);
        p.setPen(Qt::black);
        p.drawText(0, fm.ascent(), text);
    }
    return label;
}

namespace {
void blit(QImage& dst, int dx, int dy, const QImage& src, int w, int h) {
    const size_t bytes = size_t(w) * 4;
    for (int y = 0; y < h; ++y)
        std::memcpy(dst.scanLine(dy + y) + size_t(dx) * 4, src.constScanLine(y), bytes);
}
} // namespace

void MapRenderer::render(QPainter& painter, QPoint origin, const CellRect& cells, File* map,
                         TilePictureCache& pictures, const MapRenderOptions& o) {
    if (cells.empty()) return;
    const int cs = std::max(1, o.cellSize);
    const int pitch = cs + std::max(0, o.gridLineWidth);
    const int w = cells.width(), h = cells.height();
    if (buffer_.width() != w * pitch || buffer_.height() != h * pitch)
        buffer_ = QImage(w * pitch, h * pitch, QImage::Format_RGB32);
    if (pitch != cs) buffer_.fill(o.gridLineColor);

    // Cells: block column by block column, so a short file still shows what it has.
    std::exception_ptr failure;
    std::vector<bool> known(size_t(w), o.pathsValid);
    if (o.pathsValid) {
        cells_.assign(size_t(w) * size_t(h), TMapCell{});
        for (int bx = cells.x0 / BlockSize; bx <= cells.x1 / BlockSize && !failure; ++bx) {
            const CellRect strip{std::max(cells.x0, bx * BlockSize), cells.y0,
                                 std::min(cells.x1, bx * BlockSize + BlockSize - 1), cells.y1};
            try {
                if (!map) throw std::runtime_error("The map file is not open");
                ReadMapCellRect(*map, strip, column_, o.world);
            } catch (...) {
                failure = std::current_exception();
                for (int x = strip.x0; x <= cells.x1; ++x) known[size_t(x - cells.x0)] = false;
                break;
            }
            const int sw = strip.width();
            for (int y = 0; y < h; ++y)
                std::copy_n(column_.begin() + y * sw, sw, cells_.begin() + y * w + (strip.x0 - cells.x0));
        }
    }

    QImage white(cs, cs, QImage::Format_RGB32);
    white.fill(Qt::white);
    bool picturesFailed = false;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const QImage* pic = &white;
            if (known[size_t(x)] && !picturesFailed) {
                try {
                    pic = &pictures.picture(cells_[size_t(y * w + x)].TileId, cs);
                } catch (...) {
                    if (!failure) failure = std::current_exception();
                    picturesFailed = true;
                }
            }
            blit(buffer_, x * pitch, y * pitch, *pic, cs, cs);
            if (o.altitudeLabels && known[size_t(x)]) {
                const QImage& label = altitudeLabel(cells_[size_t(y * w + x)].Altitude, o.font);
                blit(buffer_, x * pitch, y * pitch, label, std::min(cs, label.width()), std::min(cs, label.height()));
            }
        }
    }
    painter.drawImage(origin, buffer_);
    if (failure) std::rethrow_exception(failure);
}

} // namespace tq
