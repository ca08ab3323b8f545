#include "ui/prompts.h"

#include "core/error.h"

#include <QFileDialog>
#include <QMessageBox>
#include <exception>

namespace tq {
namespace {

class DialogPrompts final : public Prompts {
public:
    void error(QWidget* parent, const QString& title, const QString& text, const QString& file) override {
        QMessageBox box(QMessageBox::Critical, title, text, QMessageBox::Ok, parent);
        if (!file.isEmpty()) box.setInformativeText(file);
        box.exec();
    }
    void errorCancel(QWidget* parent, const QString& title, const QString& text) override {
        QMessageBox::critical(parent, title, text, QMessageBox::Cancel);
    }
    void information(QWidget* parent, const QString& title, const QString& text) override {
        QMessageBox::information(parent, title, text);
    }
    bool question(QWidget* parent, const QString& title, const QString& text) override {
        return QMessageBox::question(parent, title, text, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
    }
    QString saveFileName(QWidget* parent, const QString& title, const QString& filter,
                         const QString& defaultSuffix, const QString& startPath, bool confirmOverwrite) override {
        QFileDialog dialog(parent, title, startPath, filter);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setOption(QFileDialog::DontConfirmOverwrite, !confirmOverwrite);
        dialog.setDefaultSuffix(defaultSuffix);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
        return dialog.selectedFiles().first();
    }
    QString openFileName(QWidget* parent, const QString& title, const QString& filter,
                         const QString& startPath) override {
        return QFileDialog::getOpenFileName(parent, title, startPath, filter);
    }
    QString existingFolder(QWidget* parent, const QString& title, const QString& startPath) override {
        return QFileDialog::getExistingDirectory(parent, title, startPath);
    }
};

DialogPrompts realPrompts;
Prompts* current = nullptr;

} // namespace

Prompts& prompts() { return current ? *current : realPrompts; }
void setPrompts(Prompts* replacement) { current = replacement; }

bool reportException(QWidget* parent) {
    QString text, file;
    try {
        throw;
    } catch (const Error& e) {
        text = QString::fromLocal8Bit(e.what());
        const QString path = QString::fromStdString(e.path());
        if (!text.contains(path)) file = path;
    } catch (const std::exception& e) {
        text = QString::fromLocal8Bit(e.what());
    } catch (...) {
        text = QStringLiteral("Unknown error");
    }
    prompts().error(parent, QStringLiteral("CustomTerraquill"), text, file);
    return false;
}

} // namespace tq
