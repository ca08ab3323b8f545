#include "ui/radio_group.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QRadioButton>

#include <algorithm>

namespace tq {

TRadioGroup::TRadioGroup(const QString& objectName, const QString& caption, const QStringList& items, int columns,
                         QWidget* parent)
    : QGroupBox(caption, parent), group_(new QButtonGroup(this)) {
    setObjectName(objectName);
    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(4, 2, 4, 2);
    layout->setSpacing(2);
    columns = std::max(1, columns);
    for (int i = 0; i < items.size(); ++i) {
        auto* b = new QRadioButton(items[i], this);
        b->setObjectName(objectName + "_" + QString::number(i));
        group_->addButton(b, i);
        layout->addWidget(b, i / columns, i % columns);
    }
    connect(group_, &QButtonGroup::idClicked, this, [this] { emit clicked(); });
}

int TRadioGroup::itemIndex() const { return group_->checkedId(); }

void TRadioGroup::setItemIndex(int index) {
    if (QAbstractButton* b = group_->button(index)) {
        b->setChecked(true);
    } else if (QAbstractButton* checked = group_->checkedButton()) {
        group_->setExclusive(false);
        checked->setChecked(false);
        group_->setExclusive(true);
    }
}

QRadioButton* TRadioGroup::button(int index) const { return qobject_cast<QRadioButton*>(group_->button(index)); }

int TRadioGroup::count() const { return int(group_->buttons().size()); }

} // namespace tq
