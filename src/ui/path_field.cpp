#include "ui/path_field.h"

#include <QLineEdit>
#include <QPalette>

namespace tq {

void setFieldColour(QLineEdit* field, FieldColour colour) {
    QPalette palette = field->palette();
    if (colour == FieldColour::Plain) {
        palette = QPalette();
    } else {
        const QColor& background = colour == FieldColour::Green ? FieldGreen : FieldRed;
        // All colour groups, so a disabled field keeps showing its state.
        palette.setColor(QPalette::Base, background);
        palette.setColor(QPalette::Text, Qt::white);
    }
    field->setPalette(palette);
}

FieldColour fieldColour(const QLineEdit* field) {
    const QColor background = field->palette().color(QPalette::Active, QPalette::Base);
    if (background == FieldGreen) return FieldColour::Green;
    if (background == FieldRed) return FieldColour::Red;
    return FieldColour::Plain;
}

FieldColour checkPathField(QLineEdit* field, std::string_view expectedLowerName) {
    const FieldColour colour = judgePathField(field->text().toStdString(), expectedLowerName);
    setFieldColour(field, colour);
    return colour;
}

} // namespace tq
