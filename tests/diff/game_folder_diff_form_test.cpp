// The diff window's ways to the files without typing: "Choose game folder…" for either
// row, the "…" buttons, and drops of files, folders and packages.
#include "diff_scenario.h"

#include "diff/diff_form.h"
#include "support/ui/drops.h"
#include "support/ui/scripted_prompts.h"
#include "ui/log_list.h"
#include "ui/path_field.h"
#include "ui/progress_form.h"
#include "ui/settings.h"

#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSettings>
#include <QToolButton>
#include <gtest/gtest.h>

#include <filesystem>

namespace tq::test {
namespace {

QString q(const std::string& s) { return QString::fromStdString(s); }

class DiffGameFolderTest : public ::testing::Test {
protected:
    TempDir settingsDir;
    ScriptedPrompts prompts;
    TProgressForm progressForm;
    TTQDiffForm form;
    DiffWorld world;  // orig/ and mod/
    TempDir player;   // the player's game, its names spelled as a Windows install has them

    void SetUp() override {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, q(settingsDir.path().string()));
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, q(settingsDir.path().string()));
    }
    void makeWorlds(const Scenario& s) {
        s.writeOriginal(world.paths);
        s.writeModified(world.paths);
        s.orig.write(player.file("StaIdx0.MUL"), player.file("Statics0.MUL"));
        makeMap(player.file("Map0.MUL"), s.origMap);
    }
    template <typename T>
    T* child(const char* name) const {
        T* widget = form.findChild<T*>(name);
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    QLineEdit* edit(const char* name) const { return child<QLineEdit>(name); }
    FieldColour colour(const char* name) const { return fieldColour(edit(name)); }
    QStringList listLines() const { return child<LogList>("TQDiffListBox")->lines(); }
    void choose(const char* side, const std::filesystem::path& folder) {
        prompts.fileAnswers.push_back(q(folder.string()));
        child<QAction>(side)->trigger();
    }
    static constexpr const char* Original[] = {"OStaIdxEdit", "OStaticsEdit", "OMapEdit"};
    static constexpr const char* Modified[] = {"MStaIdxEdit", "MStaticsEdit", "MMapEdit"};
};

TEST_F(DiffGameFolderTest, EachRowIsFilledFromItsOwnFolderAndTheActionsFollow) {
    makeWorlds(Scenario{});
    form.show();
    EXPECT_EQ(child<QToolButton>("ChooseGameFolderButton")->text(), QString("Choose game folder\u2026"));
    // The button's two choices are the File menu's too.
    auto* menu = child<QMenu>("ChooseGameFolder1");
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->actions(), (QList<QAction*>{child<QAction>("ChooseOriginalFolder1"), child<QAction>("ChooseModifiedFolder1")}));
    EXPECT_EQ(child<QWidget>("ClientArea")->size(), QSize(507, 361));

    choose("ChooseOriginalFolder1", world.dir.path() / "orig");
    for (const char* name : Original) EXPECT_EQ(colour(name), FieldColour::Green) << name;
    for (const char* name : Modified) EXPECT_NE(colour(name), FieldColour::Green) << name;
    EXPECT_EQ(edit("OMapEdit")->text(), q(world.paths.origMap));
    EXPECT_FALSE(child<QPushButton>("ApplyButton")->isEnabled());

    choose("ChooseModifiedFolder1", player.path());
    EXPECT_EQ(edit("MStaIdxEdit")->text(), q(player.file("StaIdx0.MUL")));
    EXPECT_EQ(edit("MStaticsEdit")->text(), q(player.file("Statics0.MUL")));
    EXPECT_EQ(edit("MMapEdit")->text(), q(player.file("Map0.MUL")));
    for (const char* name : Modified) EXPECT_EQ(colour(name), FieldColour::Green) << name;
    EXPECT_TRUE(child<QPushButton>("ApplyButton")->isEnabled());
    EXPECT_TRUE(listLines().contains("Found: " + q(player.file("Map0.MUL"))));
    // The six were stored, the modified two where the main window reads them.
    EXPECT_EQ(settings::readString(settings::StaIdx), q(player.file("StaIdx0.MUL")));
    EXPECT_EQ(settings::readString(settings::GameFolder), q(player.path().string()));
    // The second dialog opened at the folder chosen first.
    EXPECT_EQ(prompts.shown.back().start, q((world.dir.path() / "orig").string()));
    EXPECT_TRUE(prompts.errors().isEmpty());
}

TEST_F(DiffGameFolderTest, APartialFolderFillsWhatItHasAndNamesTheRest) {
    makeWorlds(Scenario{});
    std::filesystem::remove(player.file("StaIdx0.MUL"));
    std::filesystem::remove(player.file("Statics0.MUL"));
    form.show();
    edit("MStaticsEdit")->setText(q(world.paths.modStatics));

    choose("ChooseModifiedFolder1", player.path());
    EXPECT_EQ(edit("MMapEdit")->text(), q(player.file("Map0.MUL")));
    EXPECT_EQ(colour("MMapEdit"), FieldColour::Green);
    EXPECT_EQ(edit("MStaticsEdit")->text(), q(world.paths.modStatics));  // left as it was
    EXPECT_EQ(edit("MStaIdxEdit")->text(), QString());
    const QString folder = q(player.path().string());
    EXPECT_TRUE(listLines().contains("Not found in " + folder + ": staidx0.mul"));
    EXPECT_TRUE(listLines().contains("Not found in " + folder + ": statics0.mul"));
    EXPECT_TRUE(listLines().contains("Found: " + q(player.file("Map0.MUL"))));
}

TEST_F(DiffGameFolderTest, DropsFillFieldsAndRowsAndApplyAPackage) {
    const Scenario s;
    makeWorlds(s);
    const std::string package = world.file("patch.tq2");
    GenerateDiff(world.paths, package, {true, true});
    form.show();

    // A file onto a field.
    EXPECT_TRUE(dropLocalPath(edit("OStaIdxEdit"), q(world.paths.origStaIdx)));
    EXPECT_EQ(edit("OStaIdxEdit")->text(), q(world.paths.origStaIdx));
    EXPECT_EQ(colour("OStaIdxEdit"), FieldColour::Green);
    // A folder onto the original row fills that row; elsewhere, the modified one.
    EXPECT_TRUE(dropLocalPath(edit("OMapEdit"), q((world.dir.path() / "orig").string())));
    for (const char* name : Original) EXPECT_EQ(colour(name), FieldColour::Green) << name;
    EXPECT_TRUE(dropLocalPath(child<QWidget>("TQDiffListBox"), q(player.path().string())));
    for (const char* name : Modified) EXPECT_EQ(colour(name), FieldColour::Green) << name;
    EXPECT_EQ(edit("OMapEdit")->text(), q(world.paths.origMap));

    // A package: applied once the user says yes.
    prompts.answers.push_back(false);
    EXPECT_TRUE(dropLocalPath(&form, q(package)));
    EXPECT_NE(readBytes(player.file("Map0.MUL")), readBytes(world.paths.modMap));
    prompts.answers.push_back(true);
    EXPECT_TRUE(dropLocalPath(&form, q(package)));
    ASSERT_TRUE(prompts.errors().isEmpty()) << prompts.errors().join("; ").toStdString();
    EXPECT_EQ(readBytes(player.file("Map0.MUL")), readBytes(world.paths.modMap));
    EXPECT_EQ(blockStatics(player.file("StaIdx0.MUL"), player.file("Statics0.MUL"), 3, 3),
              blockStatics(world.paths.modStaIdx, world.paths.modStatics, 3, 3));
    EXPECT_FALSE(form.running());

    // Other files are not taken by the window.
    EXPECT_FALSE(dropLocalPath(child<QWidget>("TQDiffListBox"), q(world.paths.origMap)));
}

TEST_F(DiffGameFolderTest, APackageDroppedBeforeTheFilesAreFoundIsRefused) {
    makeWorlds(Scenario{});
    const std::string package = world.file("patch.tq2");
    GenerateDiff(world.paths, package, {true, true});
    form.show();
    EXPECT_TRUE(dropLocalPath(&form, q(package)));
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].kind, "errorCancel");
    EXPECT_EQ(readBytes(player.file("Map0.MUL")), readBytes(world.paths.origMap));
}

TEST_F(DiffGameFolderTest, EveryFieldHasABrowseButtonThatFollowsIt) {
    makeWorlds(Scenario{});
    form.show();
    for (const char* name : {"OStaIdxEdit", "OStaticsEdit", "OMapEdit", "MStaIdxEdit", "MStaticsEdit", "MMapEdit"}) {
        auto* browse = child<QToolButton>((std::string(name) + "Browse").c_str());
        ASSERT_NE(browse, nullptr) << name;
        EXPECT_EQ(browse->isEnabled(), edit(name)->isEnabled()) << name;
    }
    edit("OMapEdit")->setText(q(world.paths.origStaIdx));  // a file of another kind: red
    prompts.fileAnswers.push_back(q(world.paths.origMap));
    child<QToolButton>("OMapEditBrowse")->click();
    EXPECT_EQ(prompts.shown.back().filter, "Map (map*.mul map*LegacyMUL.uop);;All files (*)");
    EXPECT_EQ(prompts.shown.back().start, q((world.dir.path() / "orig").string()));
    EXPECT_EQ(colour("OMapEdit"), FieldColour::Green);
}

} // namespace
} // namespace tq::test
