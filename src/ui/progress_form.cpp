#include "ui/progress_form.h"

#include "ui/operation.h"

#include <QCloseEvent>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

namespace tq {
namespace {
TProgressForm* current = nullptr;
const char* const DefaultMessage = "Working, please wait...";
} // namespace

TProgressForm::TProgressForm(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setObjectName("ProgressForm");
    setWindowTitle("Terraquill");
    // The program ends with the main window, not with this one.
    setAttribute(Qt::WA_QuitOnClose, false);
    setFixedSize(168, 42);

    ProgressLabel = new QLabel(DefaultMessage, this);
    ProgressLabel->setObjectName("ProgressLabel");
    ProgressLabel->setAlignment(Qt::AlignCenter);

    ProgressBar = new QProgressBar(this);
    ProgressBar->setObjectName("ProgressBar");
    ProgressBar->setRange(0, 100);
    ProgressBar->setValue(0);
    ProgressBar->setFixedHeight(17);
    ProgressBar->setTextVisible(false);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(ProgressLabel, 1);
    layout->addWidget(ProgressBar);

    current = this;
}

TProgressForm::~TProgressForm() {
    if (current == this) current = nullptr;
}

TProgressForm* TProgressForm::instance() { return current; }

void TProgressForm::SetMessage(const QString& text) {
    ProgressLabel->setText(text);
    ProgressBar->setValue(0);
}

void TProgressForm::SetPosition(int value) { ProgressBar->setValue(value); }

void TProgressForm::FormShow() { SetMessage(DefaultMessage); }

void TProgressForm::showEvent(QShowEvent* event) {
    // Every showing starts over, whatever the last operation left behind.
    FormShow();
    QWidget::showEvent(event);
}

void TProgressForm::closeEvent(QCloseEvent* event) {
    // No title-bar buttons, and the window manager's close (Alt+F4) is refused too:
    // only the operation that showed the window hides it.
    event->ignore();
}

ProgressShowing::ProgressShowing() : form_(TProgressForm::instance()) {
    if (!form_) return;
    form_->show();
    form_->raise();
    pumpEvents();
}

ProgressShowing::~ProgressShowing() {
    if (form_) form_->hide();
}

Progress ProgressShowing::progress() {
    Progress p = windowProgress();
    p.message = [](const std::string& text) {
        if (TProgressForm* form = TProgressForm::instance()) form->SetMessage(QString::fromStdString(text));
    };
    return p;
}

} // namespace tq
