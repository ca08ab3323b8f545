#pragma once
#include "ui/prompts.h"

#include <QString>
#include <QStringList>
#include <deque>
#include <vector>

namespace tq::test {

// Answers every prompt from a script and records what was shown. Installs itself for
// its lifetime. An unexpected question or file dialog fails the test (answers No / cancel).
class ScriptedPrompts : public Prompts {
public:
    struct Shown {
        QString kind;  // "error", "errorCancel", "information", "question", "save", "open"
        QString title;
        QString text;
        QString filter;         // file dialogs
        QString defaultSuffix;  // save dialogs
        bool confirmOverwrite = true;
        QString startPath;      // file dialogs
    };
    ScriptedPrompts();
    ~ScriptedPrompts() override;

    std::deque<bool> answers;         // for question()
    std::deque<QString> fileAnswers;  // for saveFileName()/openFileName(); "" = cancel
    std::vector<Shown> shown;

    void error(QWidget*, const QString& title, const QString& text) override;
    void errorCancel(QWidget*, const QString& title, const QString& text) override;
    void information(QWidget*, const QString& title, const QString& text) override;
    bool question(QWidget*, const QString& title, const QString& text) override;
    QString saveFileName(QWidget*, const QString& title, const QString& filter, const QString& suffix,
                         const QString& start, bool confirmOverwrite = true) override;
    QString openFileName(QWidget*, const QString& title, const QString& filter, const QString& start) override;

    // Texts of the error boxes shown so far.
    QStringList errors() const;
};

} // namespace tq::test
