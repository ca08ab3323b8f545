#pragma once
#include <QWidget>

class QLineEdit;
class QToolButton;

namespace tq {

// A pair of small arrow buttons tied to an edit field holding a number (a spin box
// whose field stays a plain QLineEdit, so windows judge and clamp its text
// themselves). A click takes the number in the field as the position when it is one,
// steps by one inside min..max without wrapping, and writes the result back.
class TUpDown : public QWidget {
    Q_OBJECT
public:
    TUpDown(QLineEdit* associate, int minimum, int maximum, QWidget* parent = nullptr);

    int minimum() const { return minimum_; }
    int maximum() const { return maximum_; }
    int position() const { return position_; }
    void setPosition(int value);  // clamped; writes the field
    // A new range; the position is clamped into it (the field is left as typed).
    void setRange(int minimum, int maximum);

    void stepUp() { step(+1); }
    void stepDown() { step(-1); }

signals:
    void clicked();  // after a step changed the field

private:
    void step(int delta);

    QLineEdit* associate_;
    QToolButton* up_;
    QToolButton* down_;
    int minimum_;
    int maximum_;
    int position_;
};

} // namespace tq
