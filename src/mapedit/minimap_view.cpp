#include "mapedit/minimap_view.h"

#include "mapedit/overview.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cstring>

namespace tq {

namespace {
constexpr double MinFrameSide = 8;
} // namespace

QImage overviewImage(const OverviewPicture& picture) {
    QImage image(picture.width, picture.height, QImage::Format_RGB888);
    const size_t row = size_t(picture.width) * 3;
    for (int y = 0; y < picture.height; ++y) std::memcpy(image.scanLine(y), picture.rgb.data() + size_t(y) * row, row);
    return image;
}

MinimapView::MinimapView(QWidget* parent) : QWidget(parent) {
    setMinimumSize(48, 32);
    setCursor(Qt::CrossCursor);
}

void MinimapView::setPicture(const QImage& picture, int scale, int cellsWide, int cellsHigh) {
    picture_ = picture;
    message_.clear();
    scale_ = std::max(1, scale);
    cellsWide_ = std::max(1, cellsWide);
    cellsHigh_ = std::max(1, cellsHigh);
    update();
}

void MinimapView::setMessage(const QString& text) {
    picture_ = QImage();
    message_ = text;
    update();
}

void MinimapView::setPixel(int px, int py, QRgb colour) {
    if (!picture_.valid(px, py)) return;
    picture_.setPixel(px, py, colour);
    update();
}

void MinimapView::setViewCells(const QRect& cells) {
    if (cells == view_) return;
    view_ = cells;
    update();
}

QRectF MinimapView::pictureRect() const {
    const double zoom = std::min(double(width()) / cellsWide_, double(height()) / cellsHigh_);
    const double w = cellsWide_ * zoom, h = cellsHigh_ * zoom;
    return {(width() - w) / 2, (height() - h) / 2, w, h};
}

QPoint MinimapView::pointOfCell(int x, int y) const {
    const QRectF r = pictureRect();
    return QPointF(r.left() + (x + 0.5) * r.width() / cellsWide_, r.top() + (y + 0.5) * r.height() / cellsHigh_)
        .toPoint();
}

QPoint MinimapView::cellAt(const QPoint& point) const {
    const QRectF r = pictureRect();
    const int x = int((point.x() - r.left()) * cellsWide_ / r.width());
    const int y = int((point.y() - r.top()) * cellsHigh_ / r.height());
    return {std::clamp(x, 0, cellsWide_ - 1), std::clamp(y, 0, cellsHigh_ - 1)};
}

void MinimapView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), palette().window());
    if (picture_.isNull()) {
        p.drawText(rect().adjusted(4, 4, -4, -4), Qt::AlignCenter | Qt::TextWordWrap, message_);
        return;
    }
    const QRectF r = pictureRect();
    // The picture's pixels cover whole `scale` squares of cells; the last row and column
    // may stand for fewer cells, so the picture is drawn to the size of its cells.
    const QRectF source(0, 0, double(cellsWide_) / scale_, double(cellsHigh_) / scale_);
    p.drawImage(r, picture_, source);
    if (view_.isEmpty()) return;
    const double sx = r.width() / cellsWide_, sy = r.height() / cellsHigh_;
    QRectF frame(r.left() + view_.x() * sx, r.top() + view_.y() * sy, view_.width() * sx, view_.height() * sy);
    frame = frame.intersected(r);
    // A view of a few cells on a large map would be a dot: the frame is never smaller
    // than a few pixels, around the view's middle.
    const QPointF middle = frame.center();
    frame.setWidth(std::max(frame.width(), MinFrameSide));
    frame.setHeight(std::max(frame.height(), MinFrameSide));
    frame.moveCenter(middle);
    p.setPen(QPen(Qt::black, 3));
    p.drawRect(frame);
    p.setPen(QPen(Qt::yellow, 1));
    p.drawRect(frame);
}

void MinimapView::moveToPoint(const QPoint& point) {
    if (picture_.isNull() || !moveTo) return;
    const QPoint cell = cellAt(point);
    moveTo(cell.x(), cell.y());
}

void MinimapView::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) moveToPoint(event->position().toPoint());
}

void MinimapView::mouseMoveEvent(QMouseEvent* event) {
    if (event->buttons() & Qt::LeftButton) moveToPoint(event->position().toPoint());
}

} // namespace tq
