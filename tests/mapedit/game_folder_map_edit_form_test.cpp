// The map editor's ways to its files without typing: "Choose game folder…", the "…"
// buttons and drops.
#include "map_edit_fixture.h"

#include "support/ui/drops.h"
#include "ui/path_field.h"

#include <QAction>
#include <QStatusBar>
#include <QToolButton>

namespace tq::test {
namespace {

using MapEditGameFolderTest = MapEditFormTest;

QString q(const std::string& s) { return QString::fromStdString(s); }

TEST_F(MapEditGameFolderTest, AGameFolderGivesTheMapAndThePictures) {
    // A game: the map and the four picture files, in a Windows install's spelling.
    TempDir game;
    makeSparseMap(game, "Map0.MUL");
    for (const char* name : {"TexIdx.mul", "TEXMAPS.MUL", "artidx.mul", "Art.mul"}) writeBytes(game.file(name), "");
    open("", "");
    ASSERT_NE(fieldColour(edit("MapEdit")), FieldColour::Green);

    scripted.fileAnswers.push_back(q(game.path().string()));
    click("ChooseGameFolderButton");
    EXPECT_EQ(edit("MapEdit")->text(), q(game.file("Map0.MUL")));
    EXPECT_EQ(edit("UOPathEdit")->text(), q(game.path().string()));
    EXPECT_EQ(fieldColour(edit("MapEdit")), FieldColour::Green);
    EXPECT_EQ(fieldColour(edit("UOPathEdit")), FieldColour::Green);
    EXPECT_TRUE(form->statusBar()->currentMessage().contains("Found: " + q(game.file("Map0.MUL"))));
    EXPECT_FALSE(form->worldText().isEmpty());  // the map is open
    EXPECT_TRUE(scripted.errors().isEmpty());
}

TEST_F(MapEditGameFolderTest, AFolderWithoutPicturesGivesTheMapAndSaysWhatIsMissing) {
    TempDir game;
    makeSparseMap(game, "map0.mul");
    writeBytes(game.file("texidx.mul"), "");
    open("", client);

    // Dropped on the window: as chosen.
    EXPECT_TRUE(dropLocalPath(form.get(), q(game.path().string())));
    EXPECT_EQ(edit("MapEdit")->text(), q(game.file("map0.mul")));
    EXPECT_EQ(edit("UOPathEdit")->text(), q(client));  // left as it was
    EXPECT_TRUE(form->statusBar()->currentMessage().contains(
        "Not found in " + q(game.path().string()) + ": texmaps.mul, artidx.mul, art.mul"))
        << form->statusBar()->currentMessage().toStdString();
}

TEST_F(MapEditGameFolderTest, FieldsTakeDroppedPathsAndBrowse) {
    open("", "");
    // A file on the map field, a folder on the client-folder field.
    EXPECT_TRUE(dropLocalPath(edit("MapEdit"), q(mapPath)));
    EXPECT_EQ(edit("MapEdit")->text(), q(mapPath));
    EXPECT_EQ(fieldColour(edit("MapEdit")), FieldColour::Green);
    EXPECT_TRUE(dropLocalPath(edit("UOPathEdit"), q(client)));
    EXPECT_EQ(edit("UOPathEdit")->text(), q(client));
    EXPECT_EQ(fieldColour(edit("UOPathEdit")), FieldColour::Green);

    // The folder field's button opens the folder dialog at its folder.
    scripted.fileAnswers.push_back(q(client));
    form->findChild<QToolButton*>("UOPathEditBrowse")->click();
    ASSERT_FALSE(scripted.shown.empty());
    EXPECT_EQ(scripted.shown.back().kind, "folder");
    EXPECT_EQ(scripted.shown.back().start, q(client));
    // The copy tool's maps have theirs too.
    for (const char* name : {"MapEditBrowse", "MapEditSourceBrowse", "MapEditDestinationBrowse"})
        EXPECT_NE(form->findChild<QToolButton*>(name), nullptr) << name;
    scripted.fileAnswers.push_back(q(mapPath));
    form->findChild<QToolButton*>("MapEditSourceBrowse")->click();
    EXPECT_EQ(edit("MapEditSource")->text(), q(mapPath));
    EXPECT_EQ(scripted.shown.back().filter, "Map (map*.mul map*LegacyMUL.uop);;All files (*)");

    // The File menu's entry is the button's twin.
    scripted.fileAnswers.push_back("");
    form->findChild<QAction*>("ChooseGameFolder1")->trigger();
    EXPECT_EQ(scripted.shown.back().kind, "folder");
}

} // namespace
} // namespace tq::test
