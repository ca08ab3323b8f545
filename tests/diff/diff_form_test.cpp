// The diff window driven as a user drives it: paths typed, boxes and buttons clicked,
// dialogs answered by script, settings in a temporary folder.
#include "diff_scenario.h"

#include "app/main_form.h"
#include "diff/compact_package.h"
#include "diff/diff_form.h"
#include "support/ui/scripted_prompts.h"
#include "ui/operation.h"
#include "ui/log_list.h"
#include "ui/path_field.h"
#include "ui/progress_form.h"
#include "ui/settings.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QTimer>
#include <QToolButton>
#include <gtest/gtest.h>

#include <filesystem>

namespace tq::test {
namespace {

QString q(const std::string& s) { return QString::fromStdString(s); }

class DiffFormTest : public ::testing::Test {
protected:
    TempDir settingsDir;
    ScriptedPrompts prompts;
    TProgressForm progressForm;
    TTQDiffForm form;
    DiffWorld world;  // orig/ and mod/: what the operator generates from
    std::string playerStaIdx, playerStatics, playerMap;  // the player's working copies

    // What the window did to the main window's status label, and what the progress
    // window and the diff window looked like whenever the bar moved.
    QStringList statuses;
    std::vector<QColor> statusColours;
    bool progressSeenVisible = false;
    bool windowSeenEnabledDuringRun = false;
    int barMoves = 0;

    void SetUp() override {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, q(settingsDir.path().string()));
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, q(settingsDir.path().string()));
        QObject::connect(&appEvents(), &AppEvents::statusRequested, &form, [this](const QString& t, const QColor& c) {
            statuses << t;
            statusColours.push_back(c);
        });
        QObject::connect(progressForm.findChild<QProgressBar*>("ProgressBar"), &QProgressBar::valueChanged, &form,
                         [this] {
                             ++barMoves;
                             progressSeenVisible = progressSeenVisible || progressForm.isVisible();
                             windowSeenEnabledDuringRun = windowSeenEnabledDuringRun || client()->isEnabled();
                         });
        std::filesystem::create_directory(world.dir.path() / "player");
        playerStaIdx = world.file("player/staidx0.mul");
        playerStatics = world.file("player/statics0.mul");
        playerMap = world.file("player/map0.mul");
    }

    template <typename T>
    T* child(const char* name) const {
        T* widget = form.findChild<T*>(name);
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    QLineEdit* edit(const char* name) const { return child<QLineEdit>(name); }
    QCheckBox* box(const char* name) const { return child<QCheckBox>(name); }
    QPushButton* button(const char* name) const { return child<QPushButton>(name); }
    QWidget* client() const { return child<QWidget>("ClientArea"); }
    bool enabled(const char* name) const { return child<QWidget>(name)->isEnabled(); }
    FieldColour colour(const char* name) const { return fieldColour(edit(name)); }

    void setPaths(const DiffPaths& p) {
        edit("OStaIdxEdit")->setText(q(p.origStaIdx));
        edit("OStaticsEdit")->setText(q(p.origStatics));
        edit("OMapEdit")->setText(q(p.origMap));
        edit("MStaIdxEdit")->setText(q(p.modStaIdx));
        edit("MStaticsEdit")->setText(q(p.modStatics));
        edit("MMapEdit")->setText(q(p.modMap));
    }
    DiffPaths playerPaths() const {
        return {world.paths.origStaIdx, world.paths.origStatics, world.paths.origMap,
                playerStaIdx,           playerStatics,           playerMap};
    }

    // The operator's two worlds, and the player's copy of the original one.
    void makeWorlds(const Scenario& s) {
        s.writeOriginal(world.paths);
        s.writeModified(world.paths);
        s.orig.write(playerStaIdx, playerStatics);
        makeMap(playerMap, s.origMap);
    }

    std::string generate(const std::string& chosenName) {
        prompts.fileAnswers.push_back(q(chosenName));
        button("GenerateButton")->click();
        return DiffPackageName(chosenName);
    }
    void apply(const std::string& package) {
        prompts.fileAnswers.push_back(q(package));
        button("ApplyButton")->click();
    }
    void expectIdle() const {
        EXPECT_TRUE(client()->isEnabled());
        EXPECT_FALSE(form.running());
        EXPECT_FALSE(progressForm.isVisible());
    }
};

TEST_F(DiffFormTest, FieldColoursDriveTheActionsBothWays) {
    form.show();
    // Nothing stored: six empty red fields, no action, nothing written to the store.
    for (const DiffFieldInfo& f : diffFields()) EXPECT_EQ(colour(f.control), FieldColour::Red) << f.control;
    for (const char* name : {"GenerateButton", "ApplyButton", "StaticsCheckBox", "MapCheckBox"})
        EXPECT_FALSE(enabled(name)) << name;
    EXPECT_FALSE(enabled("MStaIdxEdit"));
    EXPECT_FALSE(enabled("MStaticsEdit"));
    EXPECT_TRUE(enabled("MMapEdit"));

    Scenario s;
    makeWorlds(s);
    // The name is compared without case; another name is refused even though the file exists.
    const std::string upperMap = world.file("orig/Map0.MUL"), otherMap = world.file("orig/map1.mul");
    std::filesystem::copy_file(world.paths.origMap, upperMap);
    writeBytes(otherMap, "x");

    DiffPaths p = world.paths;
    p.origMap = upperMap;
    setPaths(p);
    for (const DiffFieldInfo& f : diffFields()) EXPECT_EQ(colour(f.control), FieldColour::Green) << f.control;
    for (const char* name : {"GenerateButton", "ApplyButton", "StaticsCheckBox", "MapCheckBox"})
        EXPECT_TRUE(enabled(name)) << name;
    // All six stored, the modified ones under the names the other windows read.
    EXPECT_EQ(settings::readString(settings::OriginalMap), q(upperMap));
    EXPECT_EQ(settings::readString(settings::OriginalStaIdx), q(p.origStaIdx));
    EXPECT_EQ(settings::readString(settings::OriginalStatics), q(p.origStatics));
    EXPECT_EQ(settings::readString(settings::StaIdx), q(p.modStaIdx));
    EXPECT_EQ(settings::readString(settings::Statics), q(p.modStatics));
    EXPECT_EQ(settings::readString(settings::Map), q(p.modMap));

    // One field turning red takes the actions away again and stores nothing more.
    edit("OMapEdit")->setText(q(otherMap));
    EXPECT_EQ(colour("OMapEdit"), FieldColour::Red);
    for (const char* name : {"GenerateButton", "ApplyButton", "StaticsCheckBox", "MapCheckBox"})
        EXPECT_FALSE(enabled(name)) << name;
    EXPECT_EQ(settings::readString(settings::OriginalMap), q(upperMap));

    edit("OMapEdit")->setText(q(world.paths.origMap));
    EXPECT_TRUE(enabled("GenerateButton"));
    EXPECT_EQ(settings::readString(settings::OriginalMap), q(world.paths.origMap));
}

TEST_F(DiffFormTest, OnePartStaysChecked) {
    Scenario s;
    makeWorlds(s);
    form.show();
    setPaths(world.paths);
    box("MapCheckBox")->click();
    EXPECT_FALSE(box("MapCheckBox")->isChecked());
    EXPECT_TRUE(box("StaticsCheckBox")->isChecked());
    box("StaticsCheckBox")->click();  // the last one: the map comes back
    EXPECT_FALSE(box("StaticsCheckBox")->isChecked());
    EXPECT_TRUE(box("MapCheckBox")->isChecked());
    box("MapCheckBox")->click();
    EXPECT_TRUE(box("StaticsCheckBox")->isChecked());
    EXPECT_FALSE(box("MapCheckBox")->isChecked());
}

// The window has a fixed size: every control of the top panel must show whole and apart.
TEST_F(DiffFormTest, TopPanelControlsShowWholeAndDoNotOverlap) {
    form.show();
    const QWidget* panel = child<QWidget>("ConfigurationPanel");
    const auto controls = panel->findChildren<QAbstractButton*>();
    ASSERT_GE(controls.size(), 7);
    for (const QAbstractButton* c : controls) {
        const QRect r(c->mapTo(panel, QPoint(0, 0)), c->size());
        EXPECT_TRUE(panel->rect().contains(r)) << c->objectName().toStdString();
        EXPECT_GE(c->width(), c->sizeHint().width()) << c->objectName().toStdString();
        EXPECT_GE(c->height(), c->minimumSizeHint().height()) << c->objectName().toStdString();
        for (const QAbstractButton* other : controls) {
            if (other == c) continue;
            const QRect o(other->mapTo(panel, QPoint(0, 0)), other->size());
            EXPECT_FALSE(r.intersects(o)) << c->objectName().toStdString() << " overlaps "
                                          << other->objectName().toStdString();
        }
    }
}

TEST_F(DiffFormTest, SimpleModeOffersOnlyApplying) {
    Scenario s;
    makeWorlds(s);
    setRunMode(SimpleMode);
    form.show();
    setPaths(world.paths);
    setRunMode(NormalMode);
    EXPECT_TRUE(enabled("ApplyButton"));
    for (const char* name : {"GenerateButton", "StaticsCheckBox", "MapCheckBox"}) EXPECT_FALSE(enabled(name)) << name;
}

TEST_F(DiffFormTest, ExplanationTextExactly) {
    const QStringList expected = {
        "TQ-Diff is used to write a file that allows players on public shrads to",
        "use a whole new world!",
        "The shrad operators use the \"Generate\"-function to build this file.",
        "The players use the \"Apply\"-function to update their world data.",
        "",
        "In the fields for \"Original files\" you put the paths to the files on",
        "your UO-CDRom. The \"Modified files\" should be in your UO",
        "directory on the HD.",
        "",
        "The progress-bar of the main window is used",
        "by TQ-Diff as well, so move this window until it is visible.",
        "",
        "CRC values of known files:",
        "  Original OSI statics: 0D C2 9C 5A",
        "  OSI T2A: D7 53 AF 9C",
        "",
        "The progress bar indicates the progress of each STEP!",
        "While generating the TQD the steps are",
        "  1. Reading the original index (probably from CD)",
        "  2. Reading the modified index (probably from your UO-directory)",
        "  3. Generating a CRC value for the original ",
        "  4. Preparing the TQD file",
        "  5. Analyzing and writing the differences of",
        "      Map0.mul",
        "      StaIdx0.mul/Statics0.mul",
        "  6. Saveing the index of the TQD file",
        "",
        "While applying the TQD the steps are",
        "  1. Reading the original index (probably from CD)",
        "  2. Generating a CRC value for the original",
        "  3. Reading the TQD index",
        "  4. Writing the differences to your",
        "      Map0.mul",
        "      StaIdx0.mul/Statics0.mul",
        "  5. Writing the modified index",
    };
    EXPECT_EQ(child<LogList>("TQDiffListBox")->lines(), expected);
    EXPECT_EQ(form.windowTitle(), "TQ-Diff");
}

TEST_F(DiffFormTest, GenerateThenApplyGivesThePlayerTheModifiedWorld) {
    Scenario s;
    makeWorlds(s);
    form.show();
    setPaths(world.paths);

    // Typed without an extension: written as "patch.tq2", so it can be applied.
    const std::string package = generate(world.file("patch"));
    EXPECT_EQ(package, world.file("patch.tq2"));
    ASSERT_TRUE(prompts.errors().isEmpty()) << prompts.errors().join("; ").toStdString();
    EXPECT_TRUE(fileExists(package));
    EXPECT_FALSE(fileExists(world.file("patch")));
    ASSERT_EQ(prompts.shown.size(), 2u);
    EXPECT_EQ(prompts.shown[0].kind, "save");
    EXPECT_EQ(prompts.shown[0].filter, "TQ-Diff file (Version 2) (*.tq2)");
    EXPECT_EQ(prompts.shown[0].defaultSuffix, "tq2");
    EXPECT_EQ(prompts.shown[1].kind, "information");
    EXPECT_EQ(prompts.shown[1].title, "CRC value");
    EXPECT_EQ(prompts.shown[1].text, q(CrcValueText(StaticsCrc(*s.orig.index))));
    EXPECT_EQ(statuses, (QStringList{"BUSY", "READY"}));
    EXPECT_EQ(statusColours.front(), QColor(255, 0, 0));
    EXPECT_EQ(statusColours.back(), QColor(0, 128, 0));
    EXPECT_TRUE(progressSeenVisible);
    EXPECT_FALSE(windowSeenEnabledDuringRun);
    expectIdle();
    EXPECT_TRUE(enabled("GenerateButton"));

    // The player's side: original files from the CD, the working copies as modified files.
    statuses.clear();
    progressSeenVisible = false;
    setPaths(playerPaths());
    apply(package);
    ASSERT_TRUE(prompts.errors().isEmpty()) << prompts.errors().join("; ").toStdString();
    EXPECT_EQ(prompts.shown.back().kind, "open");
    EXPECT_EQ(prompts.shown.back().filter, "TQ-Diff file (Version 2) (*.tq2)");
    EXPECT_TRUE(statuses.isEmpty());  // applying leaves the status label alone
    EXPECT_TRUE(progressSeenVisible);
    EXPECT_FALSE(windowSeenEnabledDuringRun);
    expectIdle();

    EXPECT_EQ(readBytes(playerMap), readBytes(world.paths.modMap));
    for (auto [x, y] : {std::pair{0, 0}, {0, 1}, {2, 2}, {3, 3}, {5, 5}, {767, 511}, {100, 100}}) {
        SCOPED_TRACE(std::to_string(x) + "," + std::to_string(y));
        EXPECT_EQ(blockStatics(playerStaIdx, playerStatics, x, y),
                  blockStatics(world.paths.modStaIdx, world.paths.modStatics, x, y));
    }
}

TEST_F(DiffFormTest, TheCompactBoxIsRememberedAndChoosesTheForm) {
    Scenario s;
    makeWorlds(s);
    form.show();
    setPaths(world.paths);
    auto* compact = child<QCheckBox>("CompactCheckBox");
    // The old clients' world: the full form unless asked.
    EXPECT_FALSE(compact->isChecked());
    EXPECT_TRUE(compact->isEnabled());
    EXPECT_EQ(test::readHeader(generate(world.file("full.tq2"))).DiffVersion, ClassicDiffVersion);

    compact->click();
    EXPECT_EQ(settings::readString(settings::CompactPackage), "1");
    EXPECT_EQ(test::readHeader(generate(world.file("small.tq2"))).DiffVersion, CompactDiffVersion);
    const uint64_t full = std::filesystem::file_size(world.file("full.tq2"));
    EXPECT_EQ(child<LogList>("TQDiffListBox")->lines().last(),
              q(PackageSizeText(std::filesystem::file_size(world.file("small.tq2")), full)));

    // A new window (the next start) shows the box as it was left.
    TTQDiffForm again;
    again.show();
    EXPECT_TRUE(again.findChild<QCheckBox*>("CompactCheckBox")->isChecked());
    compact->click();
    EXPECT_EQ(settings::readString(settings::CompactPackage), "0");
}

TEST_F(DiffFormTest, PackageNamesAreCheckedBeforeAnythingIsRead) {
    Scenario s;
    makeWorlds(s);
    form.show();
    setPaths(world.paths);
    const std::string package = generate(world.file("patch.tq2"));
    setPaths(playerPaths());
    const std::string before = readBytes(playerStatics) + readBytes(playerStaIdx);

    // Another extension is refused in a box whose only button is Cancel.
    std::filesystem::copy_file(package, world.file("patch.tqd"));
    std::filesystem::copy_file(package, world.file("patch"));
    for (const char* refused : {"patch.tqd", "patch"}) {
        progressSeenVisible = false;
        apply(world.file(refused));
        EXPECT_EQ(prompts.shown.back().kind, "errorCancel");
        EXPECT_EQ(prompts.shown.back().title, "Error");
        EXPECT_EQ(prompts.shown.back().text,
                  "You can't apply this file! If you want to apply a .tqd file, please use Terraquill 5.");
        EXPECT_FALSE(progressSeenVisible);
        expectIdle();
    }
    EXPECT_EQ(readBytes(playerStatics) + readBytes(playerStaIdx), before);

    // The extension is compared without case.
    std::filesystem::copy_file(package, world.file("patch.TQ2"));
    apply(world.file("patch.TQ2"));
    ASSERT_TRUE(prompts.errors().isEmpty()) << prompts.errors().join("; ").toStdString();
    EXPECT_EQ(readBytes(playerMap), readBytes(world.paths.modMap));
}

TEST_F(DiffFormTest, CrcMismatchChangesNothing) {
    Scenario s;
    makeWorlds(s);
    form.show();
    setPaths(world.paths);
    const std::string package = generate(world.file("patch.tq2"));

    // The player's "original" index is not the one the package was made from.
    StaticsWorld other = s.orig;
    other.put(9, 9, {rec(0x0999)});
    other.write(world.file("player/orig-staidx0.mul"), world.file("player/orig-statics0.mul"));
    std::filesystem::create_directory(world.dir.path() / "player/cd");
    std::filesystem::rename(world.file("player/orig-staidx0.mul"), world.file("player/cd/staidx0.mul"));
    std::filesystem::rename(world.file("player/orig-statics0.mul"), world.file("player/cd/statics0.mul"));
    DiffPaths p = playerPaths();
    p.origStaIdx = world.file("player/cd/staidx0.mul");
    p.origStatics = world.file("player/cd/statics0.mul");
    setPaths(p);
    const std::string before = readBytes(playerStaIdx) + readBytes(playerStatics) + readBytes(playerMap);

    apply(package);
    EXPECT_EQ(prompts.shown.back().kind, "information");
    EXPECT_EQ(prompts.shown.back().title, "CRC error!");
    EXPECT_EQ(prompts.shown.back().text,
              q("The CRC value of your orginal statics file (" + IntToSpacedHex(int32_t(StaticsCrc(*other.index)), 4) +
                ") does not match the one used to generate this TQD file (" +
                IntToSpacedHex(int32_t(StaticsCrc(*s.orig.index)), 4) +
                "). To apply this TQD you need to get the correct original files!"));
    EXPECT_TRUE(prompts.errors().isEmpty());
    EXPECT_EQ(readBytes(playerStaIdx) + readBytes(playerStatics) + readBytes(playerMap), before);
    expectIdle();
    EXPECT_TRUE(enabled("ApplyButton"));
}

TEST_F(DiffFormTest, AfterAFailedRunTheWindowIsUsableAndTheStatusReady) {
    Scenario s;
    makeWorlds(s);
    form.show();
    setPaths(world.paths);

    // The original statics vanish after their field turned green: generating fails.
    std::filesystem::rename(world.paths.origStatics, world.file("moved.mul"));
    generate(world.file("broken.tq2"));
    ASSERT_EQ(prompts.errors().size(), 1);
    EXPECT_EQ(statuses, (QStringList{"BUSY", "READY"}));
    expectIdle();
    EXPECT_TRUE(enabled("GenerateButton"));
    std::filesystem::rename(world.file("moved.mul"), world.paths.origStatics);

    // A file that is no package at all: refused with the reason, the window usable again.
    writeBytes(world.file("garbage.tq2"), std::string(100, 'x'));
    setPaths(playerPaths());
    apply(world.file("garbage.tq2"));
    ASSERT_EQ(prompts.errors().size(), 2);
    EXPECT_TRUE(prompts.errors().back().startsWith("Invalid TQD file")) << prompts.errors().back().toStdString();
    expectIdle();
    EXPECT_TRUE(enabled("ApplyButton"));
}

TEST_F(DiffFormTest, AnExistingPackageIsReplacedOnlyWhenTheUserSaysSo) {
    Scenario s;
    makeWorlds(s);
    form.show();
    setPaths(world.paths);
    writeBytes(world.file("patch.tq2"), "keep me");

    prompts.answers.push_back(false);
    generate(world.file("patch"));
    EXPECT_EQ(prompts.shown.back().kind, "question");
    EXPECT_EQ(prompts.shown.back().text, q(world.file("patch.tq2") + " already exists.\nDo you want to replace it?"));
    EXPECT_EQ(readBytes(world.file("patch.tq2")), "keep me");
    EXPECT_EQ(statuses, (QStringList{"BUSY", "READY"}));
    expectIdle();

    prompts.answers.push_back(true);
    generate(world.file("patch"));
    EXPECT_EQ(prompts.shown.back().title, "CRC value");
    EXPECT_NE(readBytes(world.file("patch.tq2")), "keep me");
}

TEST_F(DiffFormTest, ShowingAgainKeepsTheChoicesAndReloadsThePaths) {
    Scenario s;
    makeWorlds(s);
    form.show();
    setPaths(world.paths);
    box("MapCheckBox")->click();
    form.hide();

    // Meanwhile another window stored another map path.
    settings::writeString(settings::Map, q(playerMap));
    form.show();
    EXPECT_FALSE(box("MapCheckBox")->isChecked());
    EXPECT_TRUE(box("StaticsCheckBox")->isChecked());
    EXPECT_EQ(edit("MMapEdit")->text(), q(playerMap));
    EXPECT_EQ(edit("OStaIdxEdit")->text(), q(world.paths.origStaIdx));
    EXPECT_EQ(colour("MMapEdit"), FieldColour::Green);

    // A file gone since the last showing turns its field red although its text is unchanged.
    form.hide();
    std::filesystem::remove(world.paths.origStatics);
    form.show();
    EXPECT_EQ(colour("OStaticsEdit"), FieldColour::Red);
    EXPECT_FALSE(enabled("ApplyButton"));
}

TEST_F(DiffFormTest, MainWindowAsksForTheIndexAgainAfterApplying) {
    Scenario s;
    makeWorlds(s);
    form.show();
    setPaths(world.paths);
    const std::string package = generate(world.file("patch.tq2"));

    // The player's main window has loaded the index that applying will replace.
    const std::string wsc = world.file("player/items.wsc");
    writeBytes(wsc, "EOF\r\n");
    settings::writeInt(settings::Mode, NormalMode);
    settings::writeString(settings::StaIdx, q(playerStaIdx));
    settings::writeString(settings::Statics, q(playerStatics));
    settings::writeString(settings::WorldSave, q(wsc));
    TMainForm mainForm;
    mainForm.show();
    mainForm.findChild<QPushButton*>("GetStaticIndexButton")->click();
    ASSERT_TRUE(mainForm.indexLoaded()) << prompts.errors().join("; ").toStdString();

    // "TQ-Diff" shows this window modally; the player closes it again.
    form.hide();
    mainForm.setOtherWindows({&form, nullptr, nullptr});
    bool shownModally = false;
    QTimer::singleShot(0, &form, [&] {
        shownModally = form.isVisible() && form.isModal();
        child<QToolButton>("CloseBtn")->click();
    });
    mainForm.findChild<QPushButton*>("TQDiffButton")->click();
    EXPECT_TRUE(shownModally);
    EXPECT_FALSE(form.isVisible());

    form.show();
    setPaths(playerPaths());
    apply(package);
    ASSERT_TRUE(prompts.errors().isEmpty()) << prompts.errors().join("; ").toStdString();
    EXPECT_FALSE(mainForm.indexLoaded());
    EXPECT_TRUE(mainForm.findChild<QPushButton*>("GetStaticIndexButton")->isEnabled());
}

} // namespace
} // namespace tq::test
