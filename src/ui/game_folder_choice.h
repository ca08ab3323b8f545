#pragma once
// "Choose game folder…", shared by the windows: the folder dialog (opening at the folder
// chosen last), and the filling of a window's path fields with what the folder holds.
#include "core/path_field_rules.h"

#include <QString>
#include <QStringList>

#include <utility>
#include <vector>

class QLineEdit;
class QWidget;

namespace tq {

inline constexpr const char* ChooseGameFolderCaption = "Choose game folder\u2026";

// The folder dialog; empty when cancelled.
QString askGameFolder(QWidget* parent);

// Looks in `folder` for the files of `facet` the fields take, puts each one found into its
// field (whose change handler judges it) and leaves the others as they were. The folder is
// remembered for the next dialog. Returns the lines for the window's log: which were found
// and which not.
QStringList fillFromGameFolder(const QString& folder, int facet,
                               const std::vector<std::pair<QLineEdit*, PathKind>>& fields);

} // namespace tq
