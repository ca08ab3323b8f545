#pragma once
#include <QGroupBox>
#include <QStringList>

class QButtonGroup;
class QRadioButton;

namespace tq {

// A captioned group of radio buttons with one ItemIndex (-1: none chosen), laid out in
// the given number of columns. The buttons are named <group name>_<index>.
class TRadioGroup : public QGroupBox {
    Q_OBJECT
public:
    TRadioGroup(const QString& objectName, const QString& caption, const QStringList& items, int columns = 1,
                QWidget* parent = nullptr);

    int itemIndex() const;
    void setItemIndex(int index);  // does not emit clicked()
    QRadioButton* button(int index) const;
    int count() const;

signals:
    void clicked();  // the user chose an item

private:
    QButtonGroup* group_;
};

} // namespace tq
