#include "mapedit/draw_grid_view.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>
#include <algorithm>

namespace tq {

DrawGridView::DrawGridView(int colCount, int rowCount, QWidget* parent)
    : QAbstractScrollArea(parent), cols_(colCount), rows_(rowCount) {
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setMouseTracking(true);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    QPalette pal = viewport()->palette();
    pal.setColor(QPalette::Window, Qt::black);
    pal.setColor(QPalette::Base, Qt::black);
    viewport()->setPalette(pal);
    viewport()->setAutoFillBackground(false);
    horizontalScrollBar()->setSingleStep(1);
    verticalScrollBar()->setSingleStep(1);
    // The content follows the thumb while it is dragged.
    horizontalScrollBar()->setTracking(true);
    verticalScrollBar()->setTracking(true);
    scrollTimer_.setInterval(60);
    connect(&scrollTimer_, &QTimer::timeout, this, [this] { autoScroll(); });
    updateScrollBars();
}

void DrawGridView::setGridSize(int colCount, int rowCount) {
    if (colCount == cols_ && rowCount == rows_) return;
    cols_ = std::max(1, colCount);
    rows_ = std::max(1, rowCount);
    col_ = std::min(col_, cols_ - 1);
    row_ = std::min(row_, rows_ - 1);
    updateScrollBars();
    viewport()->update();
}

void DrawGridView::setCellSize(int width, int height) {
    cellW_ = std::max(1, width);
    cellH_ = std::max(1, height);
    updateScrollBars();
    scrollIntoView(col_, row_);
    viewport()->update();
}

void DrawGridView::setGridLineWidth(int width) {
    line_ = std::max(0, width);
    updateScrollBars();
    viewport()->update();
}

int DrawGridView::leftCol() const { return horizontalScrollBar()->value(); }
int DrawGridView::topRow() const { return verticalScrollBar()->value(); }
void DrawGridView::setLeftCol(int c) { horizontalScrollBar()->setValue(c); }
void DrawGridView::setTopRow(int r) { verticalScrollBar()->setValue(r); }

int DrawGridView::visibleColCount() const { return std::max(1, viewport()->width() / pitchX()); }
int DrawGridView::visibleRowCount() const { return std::max(1, viewport()->height() / pitchY()); }

QRect DrawGridView::cellRect(int c, int r) const {
    return QRect((c - leftCol()) * pitchX(), (r - topRow()) * pitchY(), cellW_, cellH_);
}

void DrawGridView::mouseToCell(const QPoint& p, int& c, int& r) const {
    c = p.x() < 0 ? -1 : leftCol() + p.x() / pitchX();
    r = p.y() < 0 ? -1 : topRow() + p.y() / pitchY();
    if (c >= cols_ || p.x() >= viewport()->width()) c = -1;
    if (r >= rows_ || p.y() >= viewport()->height()) r = -1;
}

void DrawGridView::invalidateCell(int c, int r) { viewport()->update(cellRect(c, r).adjusted(0, 0, line_, line_)); }
void DrawGridView::invalidateGrid() { viewport()->update(); }

void DrawGridView::updateScrollBars() {
    const int vc = visibleColCount(), vr = visibleRowCount();
    horizontalScrollBar()->setRange(0, std::max(0, cols_ - vc));
    horizontalScrollBar()->setPageStep(vc);
    verticalScrollBar()->setRange(0, std::max(0, rows_ - vr));
    verticalScrollBar()->setPageStep(vr);
}

void DrawGridView::scrollIntoView(int c, int r) {
    const int vc = visibleColCount(), vr = visibleRowCount();
    if (c < leftCol()) setLeftCol(c);
    else if (c >= leftCol() + vc) setLeftCol(c - vc + 1);
    if (r < topRow()) setTopRow(r);
    else if (r >= topRow() + vr) setTopRow(r - vr + 1);
}

void DrawGridView::moveCurrent(int c, int r) {
    c = std::clamp(c, 0, cols_ - 1);
    r = std::clamp(r, 0, rows_ - 1);
    if (selectCell) selectCell(c, r);
    invalidateCell(col_, row_);
    col_ = c;
    row_ = r;
    scrollIntoView(c, r);
    invalidateCell(c, r);
}

void DrawGridView::paintEvent(QPaintEvent* event) {
    QPainter p(viewport());
    const QRect exposed = event->rect();
    p.fillRect(exposed, Qt::black);
    const int c0 = leftCol() + std::max(0, exposed.left()) / pitchX();
    const int r0 = topRow() + std::max(0, exposed.top()) / pitchY();
    const int c1 = std::min(cols_ - 1, leftCol() + exposed.right() / pitchX());
    const int r1 = std::min(rows_ - 1, topRow() + exposed.bottom() / pitchY());
    if (c0 <= c1 && r0 <= r1 && renderCells) {
        p.save();
        p.setClipRect(exposed);
        renderCells(p, c0, r0, c1, r1);
        p.restore();
    }
    if (hasFocus() && col_ >= c0 && col_ <= c1 && row_ >= r0 && row_ <= r1) {
        const QRect r = cellRect(col_, row_).adjusted(0, 0, -1, -1);
        p.setPen(QPen(Qt::white, 1, Qt::DotLine));
        p.drawRect(r);
    }
}

void DrawGridView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
}

void DrawGridView::scrollContentsBy(int, int) { viewport()->update(); }

void DrawGridView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    int c, r;
    mouseToCell(event->position().toPoint(), c, r);
    if (c < 0 || r < 0) return;
    dragging_ = true;
    lastPointer_ = event->position().toPoint();
    if (dragStarted) dragStarted();
    // Clicking the current cell again selects it again (and paints again).
    moveCurrent(c, r);
    if (clicked && dragging_) clicked(c, r);
}

void DrawGridView::mouseMoveEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    lastPointer_ = pos;
    if (pointerMoved) pointerMoved(pos);
    if (!dragging_ || !(event->buttons() & Qt::LeftButton)) return;
    if (!viewport()->rect().contains(pos)) {
        if (!scrollTimer_.isActive()) scrollTimer_.start();
        return;
    }
    scrollTimer_.stop();
    int c, r;
    mouseToCell(pos, c, r);
    if (c < 0 || r < 0) return;
    // Moving within the same cell selects nothing new.
    if (c != col_ || r != row_) moveCurrent(c, r);
}

void DrawGridView::autoScroll() {
    if (!dragging_) {
        scrollTimer_.stop();
        return;
    }
    const QRect vr = viewport()->rect();
    const int dx = lastPointer_.x() < vr.left() ? -1 : lastPointer_.x() > vr.right() ? 1 : 0;
    const int dy = lastPointer_.y() < vr.top() ? -1 : lastPointer_.y() > vr.bottom() ? 1 : 0;
    if (dx == 0 && dy == 0) {
        scrollTimer_.stop();
        return;
    }
    const int c = std::clamp(col_ + dx, 0, cols_ - 1), r = std::clamp(row_ + dy, 0, rows_ - 1);
    if (c != col_ || r != row_) moveCurrent(c, r);
}

void DrawGridView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) endDrag();
}

void DrawGridView::endDrag() {
    scrollTimer_.stop();
    if (!dragging_) return;
    dragging_ = false;
    if (dragEnded) dragEnded();
}

void DrawGridView::cancelDrag() { endDrag(); }

void DrawGridView::wheelEvent(QWheelEvent* event) {
    wheelRest_ += event->angleDelta().y();
    while (wheelRest_ >= 120) {
        wheelRest_ -= 120;
        if (row_ > 0) moveCurrent(col_, row_ - 1);
    }
    while (wheelRest_ <= -120) {
        wheelRest_ += 120;
        if (row_ < rows_ - 1) moveCurrent(col_, row_ + 1);
    }
    event->accept();
}

void DrawGridView::keyPressEvent(QKeyEvent* event) {
    if (keyDown) keyDown(event);
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    int c = col_, r = row_;
    switch (event->key()) {
    case Qt::Key_Left: --c; break;
    case Qt::Key_Right: ++c; break;
    case Qt::Key_Up: --r; break;
    case Qt::Key_Down: ++r; break;
    case Qt::Key_PageUp: {
        const int n = visibleRowCount();
        setTopRow(topRow() - n);
        r -= n;
        break;
    }
    case Qt::Key_PageDown: {
        const int n = visibleRowCount();
        setTopRow(topRow() + n);
        r += n;
        break;
    }
    case Qt::Key_Home:
        c = 0;
        if (ctrl) r = 0;
        break;
    case Qt::Key_End:
        c = cols_ - 1;
        if (ctrl) r = rows_ - 1;
        break;
    default: event->ignore(); return;
    }
    c = std::clamp(c, 0, cols_ - 1);
    r = std::clamp(r, 0, rows_ - 1);
    if (c != col_ || r != row_) moveCurrent(c, r);
    else scrollIntoView(c, r);
    event->accept();
}

void DrawGridView::focusInEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusInEvent(event);
    invalidateCell(col_, row_);
}

void DrawGridView::focusOutEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusOutEvent(event);
    invalidateCell(col_, row_);
}

} // namespace tq
