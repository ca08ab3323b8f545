#include "ui/up_down.h"

#include "core/int_parse.h"

#include <QLineEdit>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace tq {

TUpDown::TUpDown(QLineEdit* associate, int minimum, int maximum, QWidget* parent)
    : QWidget(parent), associate_(associate), minimum_(minimum), maximum_(maximum), position_(minimum) {
    up_ = new QToolButton(this);
    up_->setObjectName("up");
    up_->setArrowType(Qt::UpArrow);
    up_->setAutoRepeat(true);
    down_ = new QToolButton(this);
    down_->setObjectName("down");
    down_->setArrowType(Qt::DownArrow);
    down_->setAutoRepeat(true);
    for (QToolButton* b : {up_, down_}) {
        b->setFocusPolicy(Qt::NoFocus);
        b->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
        b->setFixedWidth(16);
    }
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(up_);
    layout->addWidget(down_);
    connect(up_, &QToolButton::clicked, this, [this] { stepUp(); });
    connect(down_, &QToolButton::clicked, this, [this] { stepDown(); });

    int32_t value = 0;
    if (associate_ && tryParseInt(associate_->text().toStdString(), value))
        position_ = std::clamp<int>(value, minimum_, maximum_);
}

void TUpDown::setPosition(int value) {
    position_ = std::clamp(value, minimum_, maximum_);
    if (associate_) associate_->setText(QString::number(position_));
}

void TUpDown::setRange(int minimum, int maximum) {
    minimum_ = minimum;
    maximum_ = std::max(minimum, maximum);
    position_ = std::clamp(position_, minimum_, maximum_);
}

void TUpDown::step(int delta) {
    int32_t typed = 0;
    if (associate_ && tryParseInt(associate_->text().toStdString(), typed))
        position_ = std::clamp<int>(typed, minimum_, maximum_);
    setPosition(position_ + delta);
    emit clicked();
}

} // namespace tq
