#pragma once
#include <QImage>
#include <QRect>
#include <QWidget>

#include <functional>

namespace tq {

struct OverviewPicture;
// An overview picture as an image to draw.
QImage overviewImage(const OverviewPicture& picture);

// The whole map as one small picture, fitted to the widget with its proportions, with a
// frame around the cells the grid shows. A click or a drag with the button held asks to
// move the grid's view there. Without a picture it shows a text saying why.
class MinimapView : public QWidget {
    Q_OBJECT
public:
    explicit MinimapView(QWidget* parent = nullptr);

    // Each pixel of `picture` stands for `scale` x `scale` cells of a map of the given size.
    void setPicture(const QImage& picture, int scale, int cellsWide, int cellsHigh);
    void setMessage(const QString& text);
    bool hasPicture() const { return !picture_.isNull(); }
    const QImage& picture() const { return picture_; }
    QString message() const { return message_; }
    int scale() const { return scale_; }
    void setPixel(int px, int py, QRgb colour);

    // The cells in view on the grid (x, y, columns, rows).
    void setViewCells(const QRect& cells);
    QRect viewCells() const { return view_; }

    // The widget point at the middle of cell (x, y), and the cell under a widget point
    // (clamped to the map).
    QPoint pointOfCell(int x, int y) const;
    QPoint cellAt(const QPoint& point) const;

    // The user clicked or dragged to cell (x, y).
    std::function<void(int x, int y)> moveTo;

    QSize sizeHint() const override { return {220, 140}; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    // Where the picture is drawn: as large as fits, centred.
    QRectF pictureRect() const;
    void moveToPoint(const QPoint& point);

    QImage picture_;
    QString message_;
    int scale_ = 1, cellsWide_ = 1, cellsHigh_ = 1;
    QRect view_;
};

} // namespace tq
