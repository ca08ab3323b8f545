#pragma once
// Drag and drop as the platform delivers it: a drag entering `target` at `pos`, then the
// drop, both through QApplication so an ignored event travels to the widgets beneath.
#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <QWidget>

namespace tq::test {

// True when the drop was taken by the target or a widget beneath it.
inline bool dropLocalPath(QWidget* target, const QString& path, QPoint pos = QPoint(2, 2)) {
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(path)});
    data.setText(QUrl::fromLocalFile(path).toString());  // as file managers send it
    QDragEnterEvent enter(pos, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    if (!enter.isAccepted()) return false;
    QDropEvent drop(QPointF(pos), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    return drop.isAccepted();
}

} // namespace tq::test
