#pragma once
#include "core/progress.h"

#include <QWidget>

class QLabel;
class QProgressBar;

namespace tq {

// The one progress indicator of the program: a message and a bar 0..100. Created once
// at start-up; long operations show and hide it, UpdateProgress moves its bar.
class TProgressForm : public QWidget {
    Q_OBJECT
public:
    explicit TProgressForm(QWidget* parent = nullptr);
    ~TProgressForm() override;

    // The living instance, or nullptr before it is created.
    static TProgressForm* instance();

    void SetMessage(const QString& text);  // also puts the bar back to 0
    void SetPosition(int value);

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void FormShow();

    QLabel* ProgressLabel;
    QProgressBar* ProgressBar;
};

// Shows the progress window for the length of a run (the diff and fill/clear windows);
// hides it however the run ends.
class ProgressShowing {
public:
    ProgressShowing();
    ~ProgressShowing();
    ProgressShowing(const ProgressShowing&) = delete;
    ProgressShowing& operator=(const ProgressShowing&) = delete;

    // windowProgress() whose messages go to the progress window's label.
    static Progress progress();

private:
    TProgressForm* form_;
};

} // namespace tq
