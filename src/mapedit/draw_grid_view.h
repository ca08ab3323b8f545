#pragma once
#include <QAbstractScrollArea>
#include <QColor>
#include <QTimer>

#include <functional>

class QPainter;

namespace tq {

// An owner-drawn grid of equal cells, scrolled by whole cells: the leftmost visible
// column and the top visible row are the scroll bars' values. It keeps a current cell
// that the user moves by click, by dragging with the button held (each entered cell
// once, auto-scrolling every 60 ms beyond the edge), by keyboard and by the wheel.
// Every such move is announced through selectCell before the cell becomes current.
class DrawGridView : public QAbstractScrollArea {
    Q_OBJECT
public:
    DrawGridView(int colCount, int rowCount, QWidget* parent = nullptr);

    int colCount() const { return cols_; }
    int rowCount() const { return rows_; }
    // A grid of another size: the current cell and the scroll position are kept inside it.
    void setGridSize(int colCount, int rowCount);
    void setCellSize(int width, int height);
    int gridLineWidth() const { return line_; }
    void setGridLineWidth(int width);
    QColor gridLineColor() const { return lineColor_; }

    int col() const { return col_; }
    int row() const { return row_; }
    // Moves the current cell (clamped to the grid), announcing it, and scrolls it into view.
    void setCol(int c) { moveCurrent(c, row_); }
    void setRow(int r) { moveCurrent(col_, r); }
    void moveCurrent(int c, int r);

    int leftCol() const;
    int topRow() const;
    void setLeftCol(int c);
    void setTopRow(int r);
    // Columns / rows wholly inside the view (at least 1).
    int visibleColCount() const;
    int visibleRowCount() const;

    // The cell's rectangle in viewport coordinates (may lie outside the viewport).
    QRect cellRect(int c, int r) const;
    // The cell under a viewport point; -1 in an axis where the point is beyond every cell.
    void mouseToCell(const QPoint& p, int& c, int& r) const;

    void invalidateCell(int c, int r);
    void invalidateGrid();
    // Forgets a drag in progress (an error box took the mouse release).
    void cancelDrag();

    // Draws the cells c0..c1 x r0..r1 (all at least partly visible) at their cellRect.
    std::function<void(QPainter&, int c0, int r0, int c1, int r1)> renderCells;
    // Announced before (c, r) becomes the current cell; it always does.
    std::function<void(int c, int r)> selectCell;
    // A key, before the grid's own navigation.
    std::function<void(QKeyEvent*)> keyDown;
    // The pointer moved over the viewport (viewport coordinates).
    std::function<void(const QPoint&)> pointerMoved;
    // The left button went down / came up on the grid: the bounds of one drag.
    std::function<void()> dragStarted;
    std::function<void()> dragEnded;
    // A cell was clicked with the left button (after it was selected).
    std::function<void(int c, int r)> clicked;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    int pitchX() const { return cellW_ + line_; }
    int pitchY() const { return cellH_ + line_; }
    void updateScrollBars();
    void scrollIntoView(int c, int r);
    void autoScroll();
    void endDrag();

    int cols_, rows_;
    int cellW_ = 64, cellH_ = 64, line_ = 0;
    QColor lineColor_{128, 128, 128};
    int col_ = 0, row_ = 0;
    bool dragging_ = false;
    QPoint lastPointer_;
    QTimer scrollTimer_;
    int wheelRest_ = 0;
};

} // namespace tq
