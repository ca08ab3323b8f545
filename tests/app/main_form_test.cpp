// The main window driven as a user drives it: paths typed, buttons clicked, dialogs
// answered by script.
#include "main_form_fixture.h"

#include "ui/operation.h"
#include "ui/up_down.h"

#include <QFocusEvent>
#include <QTimer>

#include <filesystem>

namespace tq::test {
namespace {

void leave(QLineEdit* field) {
    QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
    QCoreApplication::sendEvent(field, &out);
}

TEST_F(MainFormTest, PathFieldsTurnGreenOrRedAndStoreWhatIsValid) {
    storeMode(0);
    start();
    writeBytes(world.file("StaIdx0.MUL"), "x");
    writeBytes(world.file("staidx0.mul.bak"), "x");
    writeBytes(world.file("statics0.mul"), "x");
    writeBytes(world.file("items.pat"), "x");

    edit("StaIdxEdit")->setText(QString::fromStdString(world.file("staidx0.mul.bak")));
    EXPECT_EQ(fieldColour(edit("StaIdxEdit")), FieldColour::Red);
    edit("StaIdxEdit")->setText(QString::fromStdString(world.file("StaIdx0.MUL")));
    EXPECT_EQ(fieldColour(edit("StaIdxEdit")), FieldColour::Green);
    EXPECT_EQ(edit("StaIdxEdit")->palette().color(QPalette::Base), QColor(0, 128, 0));
    EXPECT_FALSE(settings::contains(settings::StaIdx));  // stored only with the statics path

    edit("StaticsEdit")->setText(QString::fromStdString(statics));
    EXPECT_EQ(settings::readString(settings::StaIdx).toStdString(), world.file("StaIdx0.MUL"));
    EXPECT_EQ(settings::readString(settings::Statics).toStdString(), statics);
    EXPECT_TRUE(settings::contains(settings::WorldSave));
    EXPECT_EQ(settings::readString(settings::WorldSave), "");
    EXPECT_FALSE(enabled("GetStaticIndexButton"));

    edit("WSCEdit")->setText(QString::fromStdString(world.file("items.pat")));  // any existing file
    EXPECT_EQ(fieldColour(edit("WSCEdit")), FieldColour::Green);
    EXPECT_EQ(settings::readString(settings::WorldSave).toStdString(), world.file("items.pat"));
    EXPECT_TRUE(enabled("GetStaticIndexButton"));

    // The world-save file goes away: the stored path becomes empty, the others stay.
    edit("WSCEdit")->setText(QString::fromStdString(world.file("items.wsc")));
    EXPECT_EQ(fieldColour(edit("WSCEdit")), FieldColour::Red);
    EXPECT_EQ(edit("WSCEdit")->palette().color(QPalette::Base), QColor(255, 0, 0));
    EXPECT_EQ(settings::readString(settings::WorldSave), "");
    EXPECT_EQ(settings::readString(settings::Statics).toStdString(), statics);
    EXPECT_FALSE(enabled("GetStaticIndexButton"));
}

TEST_F(MainFormTest, StartsWithStoredPathsAndTheWindowsOfThePart) {
    makeWorld();
    storeWorldPaths();
    storeMode(0);
    start();
    EXPECT_EQ(form->windowTitle(), "Terraquill 6.2 (Normal mode)");
    EXPECT_TRUE(child<QRadioButton>("NormalModeRadioButton")->isChecked());
    EXPECT_EQ(edit("StaIdxEdit")->text().toStdString(), staidx);
    EXPECT_EQ(fieldColour(edit("StaIdxEdit")), FieldColour::Green);
    EXPECT_EQ(fieldColour(edit("StaticsEdit")), FieldColour::Green);
    EXPECT_EQ(fieldColour(edit("WSCEdit")), FieldColour::Green);
    EXPECT_TRUE(enabled("GetStaticIndexButton"));
    for (const char* off : {"XBlockEdit", "XBlockUpDown", "YBlockEdit", "YBlockUpDown", "GetStaticBlockButton",
                            "MeltBlockButton", "FreezeWorldButton"})
        EXPECT_FALSE(enabled(off)) << off;
    // Their windows are not attached: the buttons stay off rather than open nothing.
    EXPECT_FALSE(enabled("TQDiffButton"));
    EXPECT_FALSE(enabled("FillClearButton"));
    EXPECT_FALSE(enabled("MapEditButton"));
    expectReady();
    EXPECT_TRUE(prompts.shown.empty());
    EXPECT_EQ(form->centralWidget()->size(), QSize(602, 566));
}

TEST_F(MainFormTest, EmptyStoreShowsEveryPathAsMissing) {
    storeMode(0);
    start();
    for (const char* name : {"StaIdxEdit", "StaticsEdit", "WSCEdit"})
        EXPECT_EQ(fieldColour(edit(name)), FieldColour::Red) << name;
    EXPECT_FALSE(settings::contains(settings::StaIdx));
}

TEST_F(MainFormTest, ModeQuestionIsAskedOnceAndTheAnswerStored) {
    prompts.answers = {false};
    start();
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].kind, "question");
    EXPECT_EQ(prompts.shown[0].title, "Simple mode?");
    EXPECT_TRUE(prompts.shown[0].text.startsWith("You have not yet selected a mode. If you only want"));
    EXPECT_TRUE(prompts.shown[0].text.endsWith("you get step by step instructions on patching."));
    EXPECT_EQ(settings::readInt(settings::Mode), 0);
    EXPECT_EQ(form->windowTitle(), "Terraquill 6.2 (Normal mode)");
    // The window appears again (minimised and restored): no second question.
    form->hide();
    form->show();
    EXPECT_EQ(prompts.shown.size(), 1u);

    // Next start: the stored answer is used.
    form.reset();
    start();
    EXPECT_EQ(prompts.shown.size(), 1u);

    QSettings(settings::Organization, settings::Application).remove(settings::Mode);
    prompts.answers = {true};
    form.reset();
    start();
    EXPECT_EQ(settings::readInt(settings::Mode), 1);
    EXPECT_EQ(form->windowTitle(), "Terraquill 6.2 (Simple mode)");
    EXPECT_TRUE(child<QRadioButton>("SimpleModeRadioButton")->isChecked());
}

TEST_F(MainFormTest, UnknownStoredModeChecksNeitherButtonAndKeepsTheCaption) {
    storeMode(7);
    start();
    EXPECT_FALSE(child<QRadioButton>("NormalModeRadioButton")->isChecked());
    EXPECT_FALSE(child<QRadioButton>("SimpleModeRadioButton")->isChecked());
    EXPECT_EQ(form->windowTitle(), "CustomTerraquill (Version 6X)");
    EXPECT_EQ(form->mode(), 7);
    EXPECT_TRUE(prompts.shown.empty());
    // Stored values keep only their low byte: 257 is Simple mode.
    storeMode(257);
    form.reset();
    start();
    EXPECT_EQ(form->windowTitle(), "Terraquill 6.2 (Simple mode)");
}

TEST_F(MainFormTest, ModeRadioButtonsStoreTheModeForTheNextStartOnly) {
    makeWorld();
    storeWorldPaths();
    storeMode(0);
    start();
    loadIndex();
    child<QRadioButton>("SimpleModeRadioButton")->click();
    EXPECT_EQ(settings::readInt(settings::Mode), 1);
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].kind, "information");
    EXPECT_EQ(prompts.shown[0].title, "Simple mode selected");
    EXPECT_EQ(prompts.shown[0].text, "The new mode will be active the next time you start Terraquill.");
    // Still Normal mode's window, for every window of this run.
    EXPECT_EQ(form->mode(), 0);
    EXPECT_EQ(runMode(), 0);
    EXPECT_EQ(form->windowTitle(), "Terraquill 6.2 (Normal mode)");
    EXPECT_TRUE(enabled("MeltBlockButton"));
    EXPECT_TRUE(enabled("SelectItemsRadioGroup"));

    child<QRadioButton>("NormalModeRadioButton")->click();
    EXPECT_EQ(settings::readInt(settings::Mode), 0);
    ASSERT_EQ(prompts.shown.size(), 2u);
    EXPECT_EQ(prompts.shown[1].title, "Normal mode selected");
}

TEST_F(MainFormTest, BlockFieldsAreClampedWhenLeftAndRefusedOutsideTheWorld) {
    makeWorld();
    storeWorldPaths();
    storeMode(0);
    start();
    loadIndex();
    QLineEdit* x = edit("XBlockEdit");
    QLineEdit* y = edit("YBlockEdit");
    struct Case {
        QLineEdit* field;
        const char* typed;
        const char* left;
    };
    for (const Case& c : {Case{x, "900", "767"}, Case{x, "-5", "0"}, Case{x, "12", "12"}, Case{y, "600", "511"},
                          Case{y, "-1", "0"}}) {
        c.field->setText(c.typed);
        leave(c.field);
        EXPECT_EQ(c.field->text(), c.left) << c.typed;
    }
    EXPECT_TRUE(prompts.errors().isEmpty());

    x->setText("abc");
    leave(x);
    EXPECT_EQ(prompts.errors(), QStringList{"'abc' is not a valid integer value"});
    EXPECT_EQ(x->text(), "abc");

    // Typed but not left: GetStaticBlock refuses instead of reading outside the index.
    x->setText("768");
    button("GetStaticBlockButton")->click();
    ASSERT_EQ(prompts.errors().size(), 2);
    EXPECT_EQ(prompts.errors()[1], "Block 768, 0 is outside the world: X must be 0..767 and Y 0..511.");
    EXPECT_TRUE(enabled("FreezeWorldButton"));  // the failed listing gave it back
    expectReady();

    // The up-down steps from the typed number and stops at its maximum.
    x->setText("766");
    auto* upDown = child<TUpDown>("XBlockUpDown");
    upDown->stepUp();
    upDown->stepUp();
    EXPECT_EQ(x->text(), "767");
}

TEST_F(MainFormTest, GetStaticIndexThenListsBlocks) {
    makeWorld();
    storeWorldPaths();
    storeMode(0);
    start();
    button("GetStaticIndexButton")->click();
    ASSERT_TRUE(prompts.errors().isEmpty()) << prompts.errors().join("; ").toStdString();
    EXPECT_EQ(logLines(), (QStringList{"Init in progress... Terraquill may look crashed, do not interrupt!",
                                       "Init completed!"}));
    expectReady();
    EXPECT_FALSE(enabled("StaIdxEdit"));
    EXPECT_FALSE(enabled("StaticsEdit"));
    EXPECT_TRUE(enabled("WSCEdit"));
    EXPECT_FALSE(enabled("GetStaticIndexButton"));
    for (const char* on : {"XBlockEdit", "XBlockUpDown", "YBlockEdit", "YBlockUpDown", "GetStaticBlockButton",
                           "MeltBlockButton", "FreezeWorldButton"})
        EXPECT_TRUE(enabled(on)) << on;
    // The progress window's bar moved, the window stayed hidden.
    EXPECT_EQ(progressForm.findChild<QProgressBar*>("ProgressBar")->value(), 100);
    EXPECT_FALSE(progressForm.isVisible());

    edit("XBlockEdit")->setText("10");
    edit("YBlockEdit")->setText("20");
    button("GetStaticBlockButton")->click();
    EXPECT_EQ(mainLines(), (QStringList{
                               "Item #1: Item ID = ED 0E, X = 83, Y = 164, Z = -5, Color = 00 00",
                               "Item #2: Item ID = 01 00, X = 80, Y = 160, Z = 0, Color = 21 00",
                               "Item #3: Item ID = ED 0E, X = 87, Y = 167, Z = 127, Color = 02 01",
                           }));
    EXPECT_FALSE(enabled("FreezeWorldButton"));  // until the next UpdateButtons

    edit("XBlockEdit")->setText("767");
    edit("YBlockEdit")->setText("511");
    button("GetStaticBlockButton")->click();
    EXPECT_EQ(mainLines(), (QStringList{"Item #1: Item ID = 64 00, X = 6143, Y = 4088, Z = 1, Color = 00 00",
                                        "Item #2: Item ID = 65 00, X = 6136, Y = 4095, Z = -1, Color = 00 00"}));

    // An empty block lists nothing and does not need statics0.mul at all.
    std::filesystem::remove(statics);
    edit("XBlockEdit")->setText("0");
    edit("YBlockEdit")->setText("0");
    button("GetStaticBlockButton")->click();
    EXPECT_TRUE(mainLines().isEmpty());
    EXPECT_TRUE(prompts.errors().isEmpty());
}

TEST_F(MainFormTest, FailedIndexLoadLeavesTheWindowReadyAndUsable) {
    makeWorld();
    writeBytes(staidx, std::string(1000, '\0'));  // far too short
    storeWorldPaths();
    storeMode(0);
    start();
    button("GetStaticIndexButton")->click();
    EXPECT_EQ(prompts.errors(), QStringList{QString::fromStdString(
                                    staidx + " is 1,000 bytes; a facet 0 static index is 4,718,592 (768 \u00d7 512 "
                                             "blocks) or 5,505,024 (896 \u00d7 512) bytes")});
    expectReady();
    EXPECT_FALSE(form->indexLoaded());
    EXPECT_TRUE(enabled("GetStaticIndexButton"));
    EXPECT_TRUE(enabled("StaIdxEdit"));
    EXPECT_TRUE(enabled("StaticsEdit"));
    EXPECT_FALSE(enabled("FreezeWorldButton"));
    EXPECT_EQ(prompts.shown.back().title, "CustomTerraquill");

    // Fixed on disk, the same button works.
    makeWorld();
    loadIndex();
}

TEST_F(MainFormTest, IndexWrittenByAnotherWindowMustBeLoadedAgain) {
    makeWorld();
    storeWorldPaths();
    storeMode(0);
    start();
    loadIndex();
    emit appEvents().staticIndexWritten(QString::fromStdString(staidx));
    EXPECT_FALSE(form->indexLoaded());
    EXPECT_TRUE(enabled("GetStaticIndexButton"));
    for (const char* off : {"GetStaticBlockButton", "MeltBlockButton", "FreezeWorldButton"})
        EXPECT_FALSE(enabled(off)) << off;
    EXPECT_EQ(logLines().back(),
              "staidx0.mul was changed by another window. Click GetStaticIndex to load the index again.");
    loadIndex();
    EXPECT_TRUE(enabled("FreezeWorldButton"));

    // Fill/clear shows its own status texts in lblStatus.
    setMainStatus("BUSY", StatusBusyColour);
    EXPECT_EQ(status(), "BUSY");
    EXPECT_EQ(statusColour(), QColor(255, 0, 0));
    setMainStatus("Ready", QColor(0, 100, 0));
    EXPECT_EQ(status(), "Ready");
}

TEST_F(MainFormTest, NoSecondOperationStartsWhileOneRuns) {
    makeWorld();
    storeWorldPaths();
    storeMode(0);
    start();
    // A timer is not user input: it fires while the load pumps events, and clicks the
    // same button again.
    int clicks = 0;
    bool closed = true;
    QTimer::singleShot(0, form.get(), [&] {
        ++clicks;
        button("GetStaticIndexButton")->click();
        closed = form->close();  // nor does the program end mid-operation
    });
    button("GetStaticIndexButton")->click();
    EXPECT_EQ(clicks, 1);
    EXPECT_FALSE(closed);
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(prompts.errors(),
              QStringList{"Another operation is still running. Please wait until it has finished."});
    EXPECT_TRUE(form->indexLoaded());
    EXPECT_EQ(logLines(), (QStringList{"Init in progress... Terraquill may look crashed, do not interrupt!",
                                       "Init completed!"}));
    expectReady();
    EXPECT_FALSE(BusyScope::active());
}

TEST_F(MainFormTest, NormalModeKeepsTheBlockListingWhenPathsChange) {
    makeWorld();
    storeWorldPaths();
    storeMode(0);
    start();
    loadIndex();
    edit("XBlockEdit")->setText("10");
    edit("YBlockEdit")->setText("20");
    button("GetStaticBlockButton")->click();
    ASSERT_EQ(mainLines().size(), 3);
    edit("WSCEdit")->setText("nowhere");
    edit("WSCEdit")->setText(QString::fromStdString(wsc));
    EXPECT_EQ(mainLines().size(), 3);
}

} // namespace
} // namespace tq::test
