#pragma once
#include <QDialog>

#include <functional>

class QCloseEvent;

namespace tq {

// A dialog whose buttons run one long operation at a time (the diff and fill/clear
// windows). While a run goes on, the client area takes no input (the dialog itself stays
// enabled so the boxes a run shows can be answered), the program-wide BusyScope is held
// and the window refuses to close.
class OperationDialog : public QDialog {
    Q_OBJECT
public:
    // A fixed dialog with a title bar and a close button, created once at start-up.
    explicit OperationDialog(QWidget* parent);
    bool running() const { return running_; }

protected:
    // The widget that holds all of the window's controls: what a run disables.
    QWidget* addClientArea();
    // Centred on the primary screen (call once the size is fixed).
    void centreOnScreen();

    // Runs `body`; however it ends, the client area is enabled again, then `restore`
    // puts the rest of the window back. After a failed run a failure of `restore` is
    // dropped: the run's error is the one to show.
    void runLocked(QWidget* clientArea, const std::function<void()>& body, const std::function<void()>& restore);

    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    bool running_ = false;
};

} // namespace tq
