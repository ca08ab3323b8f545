#pragma once
#include <QWidget>

class QPlainTextEdit;
class QPushButton;

namespace tq {

// Shows a text document shipped beside the program. Every menu choice makes a new,
// ownerless window that deletes itself when closed; several may be open at once.
class THelpForm : public QWidget {
    Q_OBJECT
public:
    enum Document { Welcome = 1 };
    static constexpr const char* WelcomeFile = "welcome.tqh";

    THelpForm();

    // Replaces the text by the document's lines; the file is looked up in the current
    // working directory. Throws "Cannot open file welcome.tqh" when it cannot be read.
    void LoadDocument(int document);

    // Creates a window, loads the document and shows it. When loading fails the error
    // propagates and no window is left behind.
    static THelpForm* open(int document);

private:
    void Button1Click();

    QWidget* Panel1;
    QPlainTextEdit* Memo1;
    QPushButton* Button1;
};

} // namespace tq
