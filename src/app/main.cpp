// terraquill: the desktop program. It reads no command-line arguments.
#include "app/help_form.h"
#include "app/main_form.h"
#include "diff/diff_form.h"
#include "fillclear/fill_clear_form.h"
#include "mapedit/map_edit_form.h"
#include "ui/progress_form.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("CustomTerraquill");
    // The program ends when the main window closes, whatever else is still open.
    QApplication::setQuitOnLastWindowClosed(false);

    // The five windows, in this order; only the main window is shown.
    tq::TMainForm mainForm;
    tq::TTQDiffForm diffForm(&mainForm);
    tq::TTQFillClearForm fillClearForm(&mainForm);
    tq::TTQMapEditForm mapEditForm;
    tq::TProgressForm progressForm;
    mainForm.setOtherWindows({&diffForm, &fillClearForm, &mapEditForm});

    QObject::connect(&mainForm, &tq::TMainForm::closed, &app, &QApplication::quit, Qt::QueuedConnection);
    mainForm.show();
    const int status = app.exec();

    // Help windows have no owner; close what is still open.
    for (QWidget* window : QApplication::topLevelWidgets())
        if (qobject_cast<tq::THelpForm*>(window)) delete window;
    return status;
}
