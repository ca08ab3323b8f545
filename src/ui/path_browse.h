#pragma once
// The helps every path field shares: a small "…" button beside the field that opens the
// file (or folder) dialog at the field's folder, and drops of a file or folder onto it.
// Windows also take drops on themselves (a folder: "Choose game folder").
#include "core/path_field_rules.h"

#include <QPoint>
#include <QString>

#include <functional>

class QLineEdit;
class QMimeData;
class QWidget;

namespace tq {

// The dialog filter of a field that takes `kind`, with "All files (*)" after it.
QString pathKindFilter(PathKind kind);

// Puts `field` and its "…" button (named after the field, "Browse" appended) into one row
// widget, which the caller puts where the field would have gone. The button opens the
// file dialog with `filter`, at the folder of the field's text when that folder exists;
// a chosen file replaces the text (and the field's change handler judges it). The button
// is enabled while the field is. Dropping a file on the field puts its path there.
QWidget* withBrowseButton(QLineEdit* field, const QString& filter);
// The same for a field that takes a folder: the folder dialog, and folders dropped on it.
QWidget* withFolderBrowseButton(QLineEdit* field);

// The folder a field's dialog opens at: the field's file's folder (or the field's folder,
// for a folder field) when it exists; otherwise empty, which leaves the choice to the
// dialog.
QString browseStartFolder(const QString& text, bool folderField);

// The first local file or folder of a drag; empty when it carries none.
QString droppedLocalPath(const QMimeData* data);

// A window takes drops: `wants(path)` says whether a dragged path is welcome, `take(path,
// pos)` receives a dropped one (pos in the window's coordinates). Drops a field or other
// control takes itself never reach the window. `take` runs guarded.
void acceptWindowDrops(QWidget* window, std::function<bool(const QString& path)> wants,
                       std::function<void(const QString& path, QPoint pos)> take);

} // namespace tq
