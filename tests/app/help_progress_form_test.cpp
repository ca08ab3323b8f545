// The help windows and the progress window.
#include "app/help_form.h"
#include "app/main_form.h"
#include "support/temp_dir.h"
#include "support/ui/scripted_prompts.h"
#include "ui/operation.h"
#include "ui/progress_form.h"
#include "ui/settings.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <gtest/gtest.h>

namespace tq::test {
namespace {

QList<THelpForm*> helpWindows() {
    QList<THelpForm*> found;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* help = qobject_cast<THelpForm*>(w)) found << help;
    return found;
}

void deleteClosedWindows() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

class HelpWindowTest : public ::testing::Test {
protected:
    TempDir settingsDir, folder;
    ScriptedPrompts prompts;
    QString previousFolder = QDir::currentPath();
    std::unique_ptr<TMainForm> form;

    void SetUp() override {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, QString::fromStdString(settingsDir.path()));
        settings::writeInt(settings::Mode, 0);
        QDir::setCurrent(QString::fromStdString(folder.path()));
        form = std::make_unique<TMainForm>();
        form->show();
    }
    void TearDown() override {
        qDeleteAll(helpWindows());
        QDir::setCurrent(previousFolder);
    }
    void chooseWelcome() { form->findChild<QAction*>("WelcometoTerraquill1")->trigger(); }
};

TEST_F(HelpWindowTest, EachMenuChoiceOpensAnotherWindowWithTheWelcomeText) {
    writeBytes(folder.file("welcome.tqh"), "Welcome to Terraquill\r\n\r\nSecond paragraph\r\n");
    auto* entry = form->findChild<QAction*>("WelcometoTerraquill1");
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->text(), "Welcome  to Terraquill");

    chooseWelcome();
    chooseWelcome();
    QList<THelpForm*> open = helpWindows();
    ASSERT_EQ(open.size(), 2);
    for (THelpForm* help : open) {
        EXPECT_TRUE(help->isVisible());
        EXPECT_EQ(help->windowTitle(), "HelpForm");
        EXPECT_EQ(help->parent(), nullptr);
        EXPECT_FALSE(help->windowFlags() & Qt::WindowCloseButtonHint);
        EXPECT_EQ(help->findChild<QPlainTextEdit*>("Memo1")->toPlainText(),
                  "Welcome to Terraquill\n\nSecond paragraph\n");
    }
    // Closing one leaves the other.
    QPushButton* close = open[0]->findChild<QPushButton*>("Button1");
    EXPECT_EQ(close->text(), "&Close");
    close->click();
    deleteClosedWindows();
    open = helpWindows();
    ASSERT_EQ(open.size(), 1);
    EXPECT_TRUE(open[0]->isVisible());
    EXPECT_TRUE(prompts.errors().isEmpty());
}

TEST_F(HelpWindowTest, MissingDocumentIsReportedAndNoWindowShown) {
    chooseWelcome();
    deleteClosedWindows();
    EXPECT_EQ(prompts.errors(), QStringList{"Cannot open file welcome.tqh"});
    EXPECT_TRUE(helpWindows().isEmpty());
}

TEST(ProgressWindow, EveryShowingStartsAgainAndUpdateProgressMovesTheBar) {
    TProgressForm progress;
    EXPECT_EQ(TProgressForm::instance(), &progress);
    EXPECT_EQ(progress.windowTitle(), "Terraquill");
    auto* label = progress.findChild<QLabel*>("ProgressLabel");
    auto* bar = progress.findChild<QProgressBar*>("ProgressBar");
    EXPECT_EQ(label->text(), "Working, please wait...");
    EXPECT_EQ(bar->minimum(), 0);
    EXPECT_EQ(bar->maximum(), 100);

    progress.show();
    progress.SetMessage("Reading the original index");
    EXPECT_EQ(bar->value(), 0);
    UpdateProgress(100);
    EXPECT_EQ(bar->value(), 100);
    progress.hide();

    UpdateProgress(50);  // hidden: moves the bar nobody sees
    EXPECT_EQ(bar->value(), 50);
    progress.show();
    EXPECT_EQ(label->text(), "Working, please wait...");
    EXPECT_EQ(bar->value(), 0);

    // Only the operation that showed it can hide it.
    EXPECT_FALSE(progress.close());
    EXPECT_TRUE(progress.isVisible());
}

} // namespace
} // namespace tq::test
