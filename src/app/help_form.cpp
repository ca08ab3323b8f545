#include "app/help_form.h"

#include "core/error.h"
#include "core/file_system.h"

#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <memory>

namespace tq {

THelpForm::THelpForm() : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setObjectName("HelpForm");
    setWindowTitle("HelpForm");
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_QuitOnClose, false);
    setFixedSize(400, 382);

    Panel1 = new QWidget(this);
    Panel1->setObjectName("Panel1");
    Panel1->setGeometry(7, 7, 384, 340);
    Memo1 = new QPlainTextEdit(Panel1);
    Memo1->setObjectName("Memo1");
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    auto* fill = new QVBoxLayout(Panel1);
    fill->setContentsMargins(0, 0, 0, 0);
    fill->addWidget(Memo1);

    Button1 = new QPushButton("&Close", this);
    Button1->setObjectName("Button1");
    Button1->adjustSize();
    const int buttonWidth = std::max(75, Button1->width());
    Button1->setGeometry((400 - buttonWidth) / 2, 351, buttonWidth, 25);
    connect(Button1, &QPushButton::clicked, this, &THelpForm::Button1Click);
}

void THelpForm::LoadDocument(int document) {
    if (document != Welcome) throw Error("Unknown help document " + std::to_string(document));
    std::string bytes;
    try {
        bytes = readWholeFile(WelcomeFile);
    } catch (const Error&) {
        throw Error(std::string("Cannot open file ") + WelcomeFile);
    }
    // The memo's lines, whatever the line ends of the file.
    QString text = QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    Memo1->setPlainText(text);
    Memo1->moveCursor(QTextCursor::Start);
}

THelpForm* THelpForm::open(int document) {
    auto form = std::make_unique<THelpForm>();
    form->LoadDocument(document);
    form->show();
    return form.release();  // deletes itself when closed
}

void THelpForm::Button1Click() { close(); }

} // namespace tq
