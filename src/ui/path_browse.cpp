#include "ui/path_browse.h"

#include "ui/prompts.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMimeData>
#include <QToolButton>
#include <QUrl>
#include <QWidget>

namespace tq {

namespace {

bool isFolder(const QString& path) { return QFileInfo(path).isDir(); }

// Drops onto one path field: a file (or, for a folder field, a folder) becomes its text.
// Anything else is left to the field's own handling, or to the window beneath.
class FieldDrops final : public QObject {
public:
    FieldDrops(QLineEdit* field, bool folderField) : QObject(field), field_(field), folderField_(folderField) {
        field->setAcceptDrops(true);
        field->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::Drop: break;
        default: return false;
        }
        auto* drop = static_cast<QDropEvent*>(event);
        if (!drop->mimeData()->hasUrls()) return false;  // dragged text: the field's own affair
        const QString path = droppedLocalPath(drop->mimeData());
        if (path.isEmpty() || isFolder(path) != folderField_) {
            // Not this field's kind of path: the window beneath may take it.
            drop->ignore();
            return true;
        }
        drop->acceptProposedAction();
        if (event->type() == QEvent::Drop) field_->setText(path);
        return true;
    }

private:
    QLineEdit* field_;
    bool folderField_;
};

class WindowDrops final : public QObject {
public:
    WindowDrops(QWidget* window, std::function<bool(const QString&)> wants,
                std::function<void(const QString&, QPoint)> take)
        : QObject(window), window_(window), wants_(std::move(wants)), take_(std::move(take)) {
        window->setAcceptDrops(true);
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() != QEvent::DragEnter && event->type() != QEvent::DragMove && event->type() != QEvent::Drop)
            return false;
        auto* drop = static_cast<QDropEvent*>(event);
        const QString path = droppedLocalPath(drop->mimeData());
        if (path.isEmpty() || !wants_(path)) {
            drop->ignore();
            return true;
        }
        drop->acceptProposedAction();
        if (event->type() == QEvent::Drop) {
            const QPoint pos = drop->position().toPoint();
            guarded(window_, [&] { take_(path, pos); });
        }
        return true;
    }

private:
    QWidget* window_;
    std::function<bool(const QString&)> wants_;
    std::function<void(const QString&, QPoint)> take_;
};

QWidget* browseRow(QLineEdit* field, const std::function<void()>& browse) {
    auto* row = new QWidget(field->parentWidget());
    row->setObjectName(field->objectName() + "Row");
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(1);
    field->setParent(row);
    layout->addWidget(field, 1);
    auto* button = new QToolButton(row);
    button->setObjectName(field->objectName() + "Browse");
    button->setText(QStringLiteral("\u2026"));
    button->setToolTip(QStringLiteral("Browse\u2026"));
    button->setFocusPolicy(Qt::NoFocus);  // the tab order stays the fields'
    button->setFixedSize(18, field->sizeHint().height());
    button->setEnabled(field->isEnabled());
    layout->addWidget(button);
    QObject::connect(button, &QToolButton::clicked, field, [field, browse] { guarded(field->window(), browse); });
    // The button follows the field: a field the user may not change has no button to change it.
    class FollowEnabled final : public QObject {
    public:
        FollowEnabled(QLineEdit* f, QToolButton* b) : QObject(f), button_(b) { f->installEventFilter(this); }
        bool eventFilter(QObject* watched, QEvent* event) override {
            if (event->type() == QEvent::EnabledChange) button_->setEnabled(static_cast<QWidget*>(watched)->isEnabled());
            return false;
        }
        QToolButton* button_;
    };
    new FollowEnabled(field, button);
    return row;
}

} // namespace

QString pathKindFilter(PathKind kind) {
    QString filter;
    switch (kind) {
    case PathKind::StaticIndex: filter = "Static index (staidx*.mul)"; break;
    case PathKind::Statics: filter = "Statics (statics*.mul)"; break;
    case PathKind::Map: filter = "Map (map*.mul map*LegacyMUL.uop)"; break;
    case PathKind::AnyFile:
    case PathKind::FileOrFolder: filter = "World save or patch file (*.wsc *.pat)"; break;
    }
    return filter + ";;All files (*)";
}

QString browseStartFolder(const QString& text, bool folderField) {
    if (text.isEmpty()) return {};
    const QFileInfo info(text);
    if (folderField && info.isDir()) return info.absoluteFilePath();
    const QString folder = info.absolutePath();
    return QFileInfo(folder).isDir() ? folder : QString();
}

QString droppedLocalPath(const QMimeData* data) {
    if (!data || !data->hasUrls()) return {};
    for (const QUrl& url : data->urls())
        if (url.isLocalFile()) return url.toLocalFile();
    return {};
}

QWidget* withBrowseButton(QLineEdit* field, const QString& filter) {
    new FieldDrops(field, false);
    return browseRow(field, [field, filter] {
        const QString chosen = prompts().openFileName(field->window(), "Choose a file", filter,
                                                      browseStartFolder(field->text(), false));
        if (!chosen.isEmpty()) field->setText(chosen);
    });
}

QWidget* withFolderBrowseButton(QLineEdit* field) {
    new FieldDrops(field, true);
    return browseRow(field, [field] {
        const QString chosen =
            prompts().existingFolder(field->window(), "Choose a folder", browseStartFolder(field->text(), true));
        if (!chosen.isEmpty()) field->setText(chosen);
    });
}

void acceptWindowDrops(QWidget* window, std::function<bool(const QString&)> wants,
                       std::function<void(const QString&, QPoint)> take) {
    new WindowDrops(window, std::move(wants), std::move(take));
}

} // namespace tq
