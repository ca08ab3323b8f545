// The main window's ways to the files without typing: "Choose game folder…", the "…"
// buttons, drag and drop; and Help → About.
#include "main_form_fixture.h"

#include "support/run_cli.h"
#include "support/ui/drops.h"

#include <QAction>
#include <QFileInfo>
#include <QToolButton>

namespace tq::test {
namespace {

class GameFolderTest : public MainFormTest {
protected:
    QString q(const std::string& s) const { return QString::fromStdString(s); }
    QString folderOf(const std::string& path) const { return QFileInfo(q(path)).absolutePath(); }
    void chooseFolder(const QString& folder) {
        prompts.fileAnswers.push_back(folder);
        button("ChooseGameFolderButton")->click();
    }
    FieldColour colour(const char* name) const { return fieldColour(edit(name)); }
};

TEST_F(GameFolderTest, AFolderWithTheWholeWorldFillsTheFieldsGreenAndIsRemembered) {
    TempDir game;
    makeWorld();
    // The game's own spelling of the names.
    writeBytes(game.file("StaIdx0.MUL"), readBytes(staidx));
    writeBytes(game.file("Statics0.MUL"), readBytes(statics));
    storeMode(1);
    store(settings::WorldSave, wsc);
    start();
    EXPECT_EQ(mainLines(), guidance(0));
    EXPECT_TRUE(mainLines().first().startsWith("Click \"Choose game folder\u2026\""));

    chooseFolder(q(game.path()));
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].kind, "folder");
    EXPECT_EQ(edit("StaIdxEdit")->text(), q(game.file("StaIdx0.MUL")));
    EXPECT_EQ(edit("StaticsEdit")->text(), q(game.file("Statics0.MUL")));
    for (const char* field : {"StaIdxEdit", "StaticsEdit", "WSCEdit"}) EXPECT_EQ(colour(field), FieldColour::Green) << field;
    EXPECT_EQ(mainLines(), guidance(3));
    EXPECT_TRUE(logLines().contains("Found: " + q(game.file("StaIdx0.MUL"))));
    EXPECT_TRUE(logLines().contains("Found: " + q(game.file("Statics0.MUL"))));
    EXPECT_EQ(settings::readString(settings::GameFolder), q(game.path()));

    // The File menu's entry opens the dialog at the remembered folder; cancelling changes nothing.
    prompts.fileAnswers.push_back("");
    form->findChild<QAction*>("ChooseGameFolder1")->trigger();
    ASSERT_EQ(prompts.shown.size(), 2u);
    EXPECT_EQ(prompts.shown[1].start, q(game.path()));
    EXPECT_EQ(edit("StaIdxEdit")->text(), q(game.file("StaIdx0.MUL")));

    // Once the index is loaded its files stay: the choice is off.
    loadIndex();
    EXPECT_FALSE(enabled("ChooseGameFolderButton"));
    EXPECT_FALSE(form->findChild<QAction*>("ChooseGameFolder1")->isEnabled());
    // A folder dropped then changes nothing either, and says why.
    TempDir other;
    writeBytes(other.file("staidx0.mul"), readBytes(staidx));
    EXPECT_TRUE(dropLocalPath(child<QWidget>("MainListBox"), q(other.path())));
    EXPECT_EQ(edit("StaIdxEdit")->text(), q(game.file("StaIdx0.MUL")));
    EXPECT_TRUE(logLines().last().startsWith("The static index is loaded")) << logLines().last().toStdString();
}

TEST_F(GameFolderTest, AFolderWithSomeFilesFillsThoseAndNamesTheMissingOnes) {
    TempDir game;
    makeWorld();
    writeBytes(game.file("staidx0.mul"), readBytes(staidx));
    store(settings::Statics, statics);  // what the field held before stays
    storeMode(0);
    start();
    ASSERT_EQ(colour("StaIdxEdit"), FieldColour::Red);

    chooseFolder(q(game.path()));
    EXPECT_EQ(edit("StaIdxEdit")->text(), q(game.file("staidx0.mul")));
    EXPECT_EQ(colour("StaIdxEdit"), FieldColour::Green);
    EXPECT_EQ(edit("StaticsEdit")->text(), q(statics));
    EXPECT_TRUE(logLines().contains("Not found in " + q(game.path()) + ": statics0.mul")) << logLines().join("\n").toStdString();

    // A folder of another facet's files fills nothing and says so.
    TempDir other;
    writeBytes(other.file("staidx2.mul"), "x");
    chooseFolder(q(other.path()));
    EXPECT_EQ(edit("StaIdxEdit")->text(), q(game.file("staidx0.mul")));
    EXPECT_TRUE(logLines().contains("Not found in " + q(other.path()) + ": staidx0.mul"));
    EXPECT_TRUE(prompts.errors().isEmpty());
}

TEST_F(GameFolderTest, DroppedFilesFillTheFieldAndADroppedFolderIsAChosenGameFolder) {
    TempDir game;
    makeWorld();
    writeBytes(game.file("staidx0.mul"), readBytes(staidx));
    writeBytes(game.file("statics0.mul"), readBytes(statics));
    storeMode(0);
    start();

    // A file onto a field: its path, judged.
    EXPECT_TRUE(dropLocalPath(edit("WSCEdit"), q(wsc)));
    EXPECT_EQ(edit("WSCEdit")->text(), q(wsc));
    EXPECT_EQ(colour("WSCEdit"), FieldColour::Green);
    // The wrong file onto a field: its path too, and the check turns it red.
    EXPECT_TRUE(dropLocalPath(edit("StaIdxEdit"), q(wsc)));
    EXPECT_EQ(colour("StaIdxEdit"), FieldColour::Red);

    // A folder onto the window, even over a field, is the game folder.
    EXPECT_TRUE(dropLocalPath(edit("StaticsEdit"), q(game.path())));
    EXPECT_EQ(edit("StaIdxEdit")->text(), q(game.file("staidx0.mul")));
    EXPECT_EQ(edit("StaticsEdit")->text(), q(game.file("statics0.mul")));
    EXPECT_EQ(colour("StaIdxEdit"), FieldColour::Green);
    EXPECT_EQ(colour("StaticsEdit"), FieldColour::Green);
    EXPECT_TRUE(dropLocalPath(child<QWidget>("LogListBox"), q(game.path())));
    EXPECT_EQ(logLines().filter("Looking for the game's files in").size(), 2);
    EXPECT_TRUE(prompts.shown.empty());  // no dialog on the way
}

TEST_F(GameFolderTest, BrowseButtonsOpenAtTheFieldsFolderWithTheirFilter) {
    makeWorld();
    storeMode(0);
    store(settings::StaIdx, staidx);
    start();
    struct Case {
        const char* button;
        const char* field;
        const char* filter;
        std::string answer;
    };
    const Case cases[] = {
        {"StaIdxEditBrowse", "StaIdxEdit", "Static index (staidx*.mul);;All files (*)", staidx},
        {"StaticsEditBrowse", "StaticsEdit", "Statics (statics*.mul);;All files (*)", statics},
        {"WSCEditBrowse", "WSCEdit", "World save or patch file (*.wsc *.pat);;All files (*)", wsc},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.button);
        auto* browse = child<QToolButton>(c.button);
        ASSERT_NE(browse, nullptr);
        EXPECT_EQ(browse->text(), QString("\u2026"));
        prompts.fileAnswers.push_back(q(c.answer));
        browse->click();
        ASSERT_FALSE(prompts.shown.empty());
        EXPECT_EQ(prompts.shown.back().kind, "open");
        EXPECT_EQ(prompts.shown.back().filter, c.filter);
        EXPECT_EQ(edit(c.field)->text(), q(c.answer));
        EXPECT_EQ(colour(c.field), FieldColour::Green);
    }
    // The first opened at the stored file's folder; an empty field leaves the start to the dialog.
    EXPECT_EQ(prompts.shown[0].start, folderOf(staidx));
    EXPECT_EQ(prompts.shown[1].start, QString());
    // Cancelling keeps the text.
    prompts.fileAnswers.push_back("");
    child<QToolButton>("StaIdxEditBrowse")->click();
    EXPECT_EQ(edit("StaIdxEdit")->text(), q(staidx));

    // The fields the loaded index holds lose their buttons with their editing.
    loadIndex();
    EXPECT_FALSE(child<QToolButton>("StaIdxEditBrowse")->isEnabled());
    EXPECT_FALSE(child<QToolButton>("StaticsEditBrowse")->isEnabled());
    EXPECT_TRUE(child<QToolButton>("WSCEditBrowse")->isEnabled());
}

TEST_F(GameFolderTest, AboutShowsTheVersionTheCliPrints) {
    storeMode(0);
    start();
    const CliResult cli = runCli({"--version"});
    ASSERT_EQ(cli.status, 0);
    const std::string prefix = "terraquill-cli ";
    ASSERT_EQ(cli.out.rfind(prefix, 0), 0u) << cli.out;
    const QString version = q(cli.out.substr(prefix.size())).trimmed();
    ASSERT_FALSE(version.isEmpty());

    form->findChild<QAction*>("About1")->trigger();
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].kind, "information");
    const QString text = prompts.shown[0].text;
    EXPECT_TRUE(text.startsWith("Terraquill " + version + "\n")) << text.toStdString();
    EXPECT_TRUE(text.contains(QString("Qt ") + qVersion())) << text.toStdString();
    EXPECT_TRUE(text.contains(QSettings(settings::Organization, settings::Application).fileName()))
        << text.toStdString();
}

} // namespace
} // namespace tq::test
