#include "ui/operation_dialog.h"

#include "ui/operation.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QVBoxLayout>

namespace tq {

OperationDialog::OperationDialog(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint) {}

QWidget* OperationDialog::addClientArea() {
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* area = new QWidget(this);
    area->setObjectName("ClientArea");
    outer->addWidget(area);
    return area;
}

void OperationDialog::centreOnScreen() {
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void OperationDialog::runLocked(QWidget* clientArea, const std::function<void()>& body,
                                const std::function<void()>& restore) {
    BusyScope busy;
    running_ = true;
    clientArea->setEnabled(false);
    auto putBack = [&] {
        clientArea->setEnabled(true);
        running_ = false;
        restore();
    };
    try {
        body();
    } catch (...) {
        try {
            putBack();
        } catch (...) {
        }
        throw;
    }
    putBack();
}

void OperationDialog::closeEvent(QCloseEvent* event) {
    if (running_) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void OperationDialog::reject() {
    if (!running_) QDialog::reject();
}

} // namespace tq
