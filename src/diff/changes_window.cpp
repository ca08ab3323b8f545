#include "diff/changes_window.h"

#include "mapedit/minimap_view.h"
#include "mapedit/overview.h"

#include <QDialog>
#include <QLabel>
#include <QPixmap>
#include <QScrollArea>
#include <QVBoxLayout>

namespace tq {

QDialog* showChangesPicture(QWidget* parent, const OverviewPicture& picture, const QString& caption,
                            const QString& summary) {
    auto* dialog = new QDialog(parent);
    dialog->setObjectName("ChangesDialog");
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowTitle(caption);
    auto* layout = new QVBoxLayout(dialog);
    auto* text = new QLabel(summary, dialog);
    text->setObjectName("ChangesSummary");
    layout->addWidget(text);
    auto* scroll = new QScrollArea(dialog);
    auto* image = new QLabel(scroll);
    image->setObjectName("ChangesPicture");
    image->setPixmap(QPixmap::fromImage(overviewImage(picture)));
    scroll->setWidget(image);
    layout->addWidget(scroll, 1);
    dialog->resize(std::min(picture.width + 40, 1040), std::min(picture.height + 80, 760));
    dialog->show();
    return dialog;
}

} // namespace tq
