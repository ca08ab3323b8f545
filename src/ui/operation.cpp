#include "ui/operation.h"

#include "core/error.h"
#include "ui/progress_form.h"

#include <QApplication>
#include <QCoreApplication>
#include <QEventLoop>

#include <chrono>

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

namespace {
constexpr std::chrono::milliseconds PumpInterval{30};
std::chrono::steady_clock::time_point lastPump;
} // namespace

void pumpEventsIfDue() {
    const auto now = std::chrono::steady_clock::now();
    if (now - lastPump < PumpInterval) return;
    lastPump = now;
    pumpEvents();
}

void UpdateProgress(int percent) {
    if (TProgressForm* form = TProgressForm::instance()) form->SetPosition(percent);
}

Progress windowProgress() {
    Progress progress;
    progress.position = UpdateProgress;
    progress.pump = pumpEventsIfDue;
    return progress;
}

} // namespace tq
