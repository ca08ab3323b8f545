#include "scripted_prompts.h"

#include <gtest/gtest.h>

namespace tq::test {

ScriptedPrompts::ScriptedPrompts() { setPrompts(this); }
ScriptedPrompts::~ScriptedPrompts() { setPrompts(nullptr); }

void ScriptedPrompts::error(QWidget*, const QString& title, const QString& text) {
    shown.push_back({"error", title, text});
}
void ScriptedPrompts::information(QWidget*, const QString& title, const QString& text) {
    shown.push_back({"information", title, text});
}
bool ScriptedPrompts::question(QWidget*, const QString& title, const QString& text) {
    shown.push_back({"question", title, text});
    if (answers.empty()) {
        ADD_FAILURE() << "unexpected question: " << text.toStdString();
        return false;
    }
    const bool answer = answers.front();
    answers.pop_front();
    return answer;
}
QString ScriptedPrompts::saveFileName(QWidget*, const QString& title, const QString&, const QString&,
                                      const QString&) {
    shown.push_back({"save", title, {}});
    if (fileAnswers.empty()) {
        ADD_FAILURE() << "unexpected save dialog: " << title.toStdString();
        return {};
    }
    QString answer = fileAnswers.front();
    fileAnswers.pop_front();
    return answer;
}
QString ScriptedPrompts::openFileName(QWidget*, const QString& title, const QString&, const QString&) {
    shown.push_back({"open", title, {}});
    if (fileAnswers.empty()) {
        ADD_FAILURE() << "unexpected open dialog: " << title.toStdString();
        return {};
    }
    QString answer = fileAnswers.front();
    fileAnswers.pop_front();
    return answer;
}
QStringList ScriptedPrompts::errors() const {
    QStringList list;
    for (const Shown& s : shown)
        if (s.kind == "error") list << s.text;
    return list;
}

} // namespace tq::test
