#pragma once
#include <QString>
#include <QStringList>

class QWidget;

namespace tq {

// Every message box and file dialog of the program goes through here, so tests can
// script the answers instead of clicking real dialogs.
class Prompts {
public:
    virtual ~Prompts() = default;
    // `file`: the file the failure is about, shown on a line of its own under the text (the
    // text stays exactly the program's message); "" for none.
    virtual void error(QWidget* parent, const QString& title, const QString& text, const QString& file = {}) = 0;
    // An error box whose single button is "Cancel": the refusal of something the user
    // picked, which is then not done.
    virtual void errorCancel(QWidget* parent, const QString& title, const QString& text) = 0;
    virtual void information(QWidget* parent, const QString& title, const QString& text) = 0;
    // Yes/No box; true for Yes.
    virtual bool question(QWidget* parent, const QString& title, const QString& text) = 0;
    // Empty text when cancelled. filter uses Qt's form: "TQ-Diff file (Version 2) (*.tq2)".
    // confirmOverwrite false: the caller asks its own question about an existing file.
    virtual QString saveFileName(QWidget* parent, const QString& title, const QString& filter,
                                 const QString& defaultSuffix, const QString& startPath,
                                 bool confirmOverwrite = true) = 0;
    virtual QString openFileName(QWidget* parent, const QString& title, const QString& filter,
                                 const QString& startPath) = 0;
    // The platform's folder dialog; empty text when cancelled.
    virtual QString existingFolder(QWidget* parent, const QString& title, const QString& startPath) = 0;
};

// The prompts in use: real dialogs unless a test installed others.
Prompts& prompts();
void setPrompts(Prompts* replacement);  // nullptr restores the real dialogs

// Runs a handler; any exception it raises is shown in an error box titled
// "CustomTerraquill" and swallowed, so the program carries on. Returns false on error.
// A failure about a file names it under the message unless the message already does.
template <typename F>
bool guarded(QWidget* parent, F&& handler);
bool reportException(QWidget* parent);  // call inside a catch(...) block

template <typename F>
bool guarded(QWidget* parent, F&& handler) {
    try {
        handler();
        return true;
    } catch (...) {
        return reportException(parent);
    }
}

} // namespace tq
