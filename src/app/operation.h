#pragma once
// What every window shares while a long operation runs: the one-at-a-time guard, the
// progress bar, the event pump, and the notices windows send each other.
#include "core/progress.h"

#include <QColor>
#include <QObject>
#include <QString>

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

// Moves the bar of the single progress window, whether it is shown or not.
void UpdateProgress(int percent);

// The Progress the windows hand to core operations: the bar, and the pump. (Windows
// that show the progress window add a message function.)
Progress windowProgress();

} // namespace tq
