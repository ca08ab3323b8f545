#pragma once
// What every window shares while a long operation runs: the one-at-a-time guard, the
// progress bar, the event pump, and the notices windows send each other.
#include "core/progress.h"

#include <QColor>
#include <QObject>
#include <QString>

#include <cstdint>

namespace tq {

// The program-wide notifier. Windows emit; the main window listens.
class AppEvents : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

signals:
    // A window other than the main one has rewritten this staidx0.mul (diff apply,
    // fill/clear): the main window's in-memory index no longer matches the file.
    void staticIndexWritten(const QString& path);
    // Sets the main window's lblStatus (fill/clear shows its own texts there).
    void statusRequested(const QString& text, const QColor& background);
};
AppEvents& appEvents();

// lblStatus's two states; fill/clear and the diff's generate step show them too.
inline const QColor StatusReadyColour{0, 128, 0};
inline const QColor StatusBusyColour{255, 0, 0};
inline void setMainStatus(const QString& text, const QColor& background) {
    emit appEvents().statusRequested(text, background);
}

// The mode of this run, read once when the main window first shows: 0 Normal,
// 1 Simple (the diff window then offers only applying); any other value behaves as
// Normal. A click on the mode buttons changes the stored value, not this one.
uint8_t runMode();
void setRunMode(uint8_t mode);

// Held for the length of one operation. Only one runs at a time in the whole program:
// a second BusyScope throws. While one is held the mouse shows the busy cursor.
class BusyScope {
public:
    BusyScope();
    ~BusyScope();
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;
    static bool active();
};

// Lets windows repaint during a long loop; user input waits until the loop is over,
// so nothing else can be started meanwhile.
void pumpEvents();
// The same, at most every PumpInterval: a long loop pumps at every step, but repainting
// more often than the eye sees only slows it down (thousands of steps, a repaint each).
void pumpEventsIfDue();

// Moves the bar of the single progress window, whether it is shown or not.
void UpdateProgress(int percent);

// The Progress the windows hand to core operations: the bar, and the pump. (Windows
// that show the progress window add a message function.)
Progress windowProgress();

} // namespace tq
