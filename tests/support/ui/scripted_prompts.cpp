#include "scripted_prompts.h"

#include <gtest/gtest.h>

namespace tq::test {

ScriptedPrompts::ScriptedPrompts() { setPrompts(this); }
ScriptedPrompts::~ScriptedPrompts() { setPrompts(nullptr); }

void ScriptedPrompts::error(QWidget*, const QString& title, const QString& text, const QString& file) {
    shown.push_back({"error", title, text, {}, {}, true, {}, file});
}
void ScriptedPrompts::errorCancel(QWidget*, const QString& title, const QString& text) {
    shown.push_back({"errorCancel", title, text, {}, {}, true, {}, {}});
}
void ScriptedPrompts::information(QWidget*, const QString& title, const QString& text) {
    shown.push_back({"information", title, text, {}, {}, true, {}, {}});
}
bool ScriptedPrompts::question(QWidget*, const QString& title, const QString& text) {
    shown.push_back({"question", title, text, {}, {}, true, {}, {}});
    if (answers.empty()) {
        ADD_FAILURE() << "unexpected question: " << text.toStdString();
        return false;
    }
    const bool answer = answers.front();
    answers.pop_front();
    return answer;
}
QString ScriptedPrompts::saveFileName(QWidget*, const QString& title, const QString& filter, const QString& suffix,
                                      const QString& start, bool confirmOverwrite) {
    shown.push_back({"save", title, {}, filter, suffix, confirmOverwrite, start, {}});
    if (fileAnswers.empty()) {
        ADD_FAILURE() << "unexpected save dialog: " << title.toStdString();
        return {};
    }
    QString answer = fileAnswers.front();
    fileAnswers.pop_front();
    return answer;
}
QString ScriptedPrompts::openFileName(QWidget*, const QString& title, const QString& filter, const QString& start) {
    shown.push_back({"open", title, {}, filter, {}, true, start, {}});
    if (fileAnswers.empty()) {
        ADD_FAILURE() << "unexpected open dialog: " << title.toStdString();
        return {};
    }
    QString answer = fileAnswers.front();
    fileAnswers.pop_front();
    return answer;
}
QString ScriptedPrompts::existingFolder(QWidget*, const QString& title, const QString& start) {
    shown.push_back({"folder", title, {}, {}, {}, true, start, {}});
    if (fileAnswers.empty()) {
        ADD_FAILURE() << "unexpected folder dialog: " << title.toStdString();
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
