#include "ui/operation.h"

#include "core/error.h"
#include "ui/progress_form.h"

#include <QApplication>
#include <QCoreApplication>
#include <QEventLoop>

namespace tq {

AppEvents& appEvents() {
    static AppEvents* events = new AppEvents;  // lives as long as the program
    return *events;
}

namespace {
bool busy = false;
uint8_t mode = 0;
} // namespace

uint8_t runMode() { return mode; }
void setRunMode(uint8_t value) { mode = value; }

BusyScope::BusyScope() {
    if (busy) throw Error("Another operation is still running. Please wait until it has finished.");
    busy = true;
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

BusyScope::~BusyScope() {
    QApplication::restoreOverrideCursor();
    busy = false;
}

bool BusyScope::active() { return busy; }

void pumpEvents() { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); }

void UpdateProgress(int percent) {
    if (TProgressForm* form = TProgressForm::instance()) form->SetPosition(percent);
}

Progress windowProgress() {
    Progress progress;
    progress.position = UpdateProgress;
    progress.pump = pumpEvents;
    return progress;
}

} // namespace tq
