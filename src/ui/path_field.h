#pragma once
// Path fields carry their validity in their background colour: green (0, 128, 0) when
// the file is there under the expected name, red (255, 0, 0) when not. The enabling
// rules of every window read the colours back through fieldColour().
#include "core/path_field_rules.h"

#include <QColor>

class QLineEdit;

namespace tq {

inline const QColor FieldGreen{0, 128, 0};
inline const QColor FieldRed{255, 0, 0};

void setFieldColour(QLineEdit* field, FieldColour colour);
// Plain for any background that is neither exactly green nor exactly red.
FieldColour fieldColour(const QLineEdit* field);

// Judges the field's text (see judgePathField) and colours it; returns the colour.
FieldColour checkPathField(QLineEdit* field, std::string_view expectedLowerName);

} // namespace tq
