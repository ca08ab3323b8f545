#pragma once
// Path fields carry their validity in their background colour: green (0, 128, 0) when
// the file is there under the expected name, red (255, 0, 0) when not. The enabling
// rules of every window read the colours back through fieldColour().
#include "core/path_field_rules.h"

#include <QColor>

#include <utility>
#include <vector>

class QLineEdit;

namespace tq {

inline const QColor FieldGreen{0, 128, 0};
inline const QColor FieldRed{255, 0, 0};

void setFieldColour(QLineEdit* field, FieldColour colour);
// Plain for any background that is neither exactly green nor exactly red.
FieldColour fieldColour(const QLineEdit* field);

// Judges the path fields of one window together (see judgePathFields), colours each and
// puts the reason of a red one into its tooltip.
void checkPathFields(const std::vector<std::pair<QLineEdit*, PathKind>>& fields);

// The facet the green world-file fields of the list name (nullopt when none names one).
std::optional<int> pathFieldsFacet(const std::vector<std::pair<QLineEdit*, PathKind>>& fields);

} // namespace tq
