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

namespace {
std::vector<std::pair<std::string, PathKind>> texts(const std::vector<std::pair<QLineEdit*, PathKind>>& fields) {
    std::vector<std::pair<std::string, PathKind>> out;
    for (const auto& [field, kind] : fields) out.emplace_back(field->text().toStdString(), kind);
    return out;
}
} // namespace

void checkPathFields(const std::vector<std::pair<QLineEdit*, PathKind>>& fields) {
    const std::vector<PathVerdict> verdicts = judgePathFields(texts(fields));
    for (size_t i = 0; i < fields.size(); ++i) {
        setFieldColour(fields[i].first, verdicts[i].colour);
        fields[i].first->setToolTip(QString::fromStdString(verdicts[i].reason));
    }
}

std::optional<int> pathFieldsFacet(const std::vector<std::pair<QLineEdit*, PathKind>>& fields) {
    for (const PathVerdict& v : judgePathFields(texts(fields)))
        if (v.colour == FieldColour::Green && v.facet) return v.facet;
    return std::nullopt;
}

} // namespace tq
