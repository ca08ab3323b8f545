// The fill/clear window driven as a user drives it, with the settings store in a
// temporary folder and every dialog answered by script.
#include "app/main_form.h"
#include "support/classic_world.h"
#include "core/map_file.h"
#include "core/named_tiles.h"
#include "core/static_index.h"
#include "fillclear/fill_clear_form.h"
#include "support/temp_dir.h"
#include "support/ui/drops.h"
#include "support/ui/scripted_prompts.h"
#include "ui/operation.h"
#include "ui/path_field.h"
#include "ui/progress_form.h"
#include "ui/settings.h"
#include "ui/up_down.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <gtest/gtest.h>

#include <filesystem>

namespace tq::test {
namespace {

QString q(const std::string& s) { return QString::fromStdString(s); }

void leave(QLineEdit* field) {
    QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
    QCoreApplication::sendEvent(field, &out);
}

TMapCell originalCell(int x, int y) { return {uint16_t(x * 31 + y * 17 + 5), int8_t(((x ^ y) & 0x7F) - 60)}; }

class FillClearFormTest : public ::testing::Test {
protected:
    TempDir settingsDir;
    TempDir world;
    ScriptedPrompts prompts;
    TProgressForm progressForm;
    TTQFillClearForm form;
    std::string staidx, statics, map;

    QStringList statuses;
    std::vector<QColor> statusColours;
    bool progressSeenVisible = false;
    bool inputSeenDuringRun = false;
    int barMoves = 0;

    void SetUp() override {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, q(settingsDir.path().string()));
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, q(settingsDir.path().string()));
        staidx = world.file("staidx0.mul");
        statics = world.file("statics0.mul");
        map = world.file("map0.mul");
        QObject::connect(&appEvents(), &AppEvents::statusRequested, &form, [this](const QString& t, const QColor& c) {
            statuses << t;
            statusColours.push_back(c);
        });
        QObject::connect(progressForm.findChild<QProgressBar*>("ProgressBar"), &QProgressBar::valueChanged, &form,
                         [this] {
                             ++barMoves;
                             progressSeenVisible = progressSeenVisible || progressForm.isVisible();
                             for (const char* name : {"GoButton", "FillTileComboBox", "FillAltitudeEdit", "MMapEdit"})
                                 inputSeenDuringRun = inputSeenDuringRun || child<QWidget>(name)->isEnabled();
                         });
    }

    // A whole static index (every block empty), an empty statics file, and the first
    // four block columns of a map in which every cell has its own tile and altitude.
    void makeWorld() {
        auto index = newStaticIndex();
        index->fill(TStaticIndexRec{-1, 0, 0});
        SaveStaticIndex(staidx, *index);
        writeBytes(statics, "");
        std::string bytes(4 * MapColumnBytes, '\0');
        for (int bx = 0; bx < 4; ++bx)
            for (int by = 0; by < BlocksY; ++by) {
                TMapBlock block;
                block.Header = {uint8_t(bx), uint8_t(by), 0, 0x5A};
                for (int cy = 0; cy < 8; ++cy)
                    for (int cx = 0; cx < 8; ++cx)
                        block.Cells[size_t(cy * 8 + cx)] = originalCell(bx * 8 + cx, by * 8 + cy);
                encodeMapBlock(block, reinterpret_cast<uint8_t*>(bytes.data()) + mapBlockOffset(bx, by));
            }
        writeBytes(map, bytes);
    }
    void putStatics(int bx, int by, const std::vector<TStaticRec>& records) {
        auto index = newStaticIndex();
        LoadStaticIndex(staidx, *index);
        TStaticBlock block;
        block.Count = int(records.size());
        std::copy(records.begin(), records.end(), block.Records.begin());
        WriteBlockStatics(statics, index->at(bx, by), block);
        SaveStaticIndex(staidx, *index);
    }
    std::vector<TStaticRec> blockStatics(int bx, int by) const {
        auto index = newStaticIndex();
        LoadStaticIndex(staidx, *index);
        TStaticBlock block;
        ReadBlockStatics(statics, index->at(bx, by), block);
        return {block.Records.begin(), block.Records.begin() + block.Count};
    }
    TMapCell cell(int x, int y) const {
        const std::string bytes = readBytes(map);
        TMapCell c;
        decodeMapCell(reinterpret_cast<const uint8_t*>(bytes.data()) + mapCellOffset(x, y), c);
        return c;
    }
    void storePaths() const {
        settings::writeString(settings::StaIdx, q(staidx));
        settings::writeString(settings::Statics, q(statics));
        settings::writeString(settings::Map, q(map));
    }

    template <typename T>
    T* child(const char* name) const {
        T* widget = form.findChild<T*>(name);
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    QLineEdit* edit(const char* name) const { return child<QLineEdit>(name); }
    QCheckBox* box(const char* name) const { return child<QCheckBox>(name); }
    QComboBox* tile() const { return child<QComboBox>("FillTileComboBox"); }
    bool enabled(const char* name) const { return child<QWidget>(name)->isEnabled(); }
    FieldColour colour(const char* name) const { return fieldColour(edit(name)); }
    void setArea(const char* top, const char* left, const char* right, const char* bottom) {
        edit("ClearAreaTopEdit")->setText(top);
        edit("ClearAreaLeftEdit")->setText(left);
        edit("ClearAreaRightEdit")->setText(right);
        edit("ClearAreaBottomEdit")->setText(bottom);
    }
    void go() { child<QPushButton>("GoButton")->click(); }
    void expectIdleAndReady() const {
        EXPECT_TRUE(child<QWidget>("ClientArea")->isEnabled());
        EXPECT_FALSE(form.running());
        EXPECT_FALSE(progressForm.isVisible());
        ASSERT_FALSE(statuses.isEmpty());
        EXPECT_EQ(statuses.back(), "Ready");
        EXPECT_EQ(statusColours.back(), QColor(0, 128, 0));
    }
};

TEST_F(FillClearFormTest, StartsWithTheWholeWorldAndTheTileGroups) {
    form.show();
    EXPECT_EQ(form.windowTitle(), "Fill/Clear");
    EXPECT_EQ(edit("ClearAreaTopEdit")->text(), "0");
    EXPECT_EQ(edit("ClearAreaLeftEdit")->text(), "0");
    EXPECT_EQ(edit("ClearAreaRightEdit")->text(), "6143");
    EXPECT_EQ(edit("ClearAreaBottomEdit")->text(), "4095");
    EXPECT_EQ(edit("FillAltitudeEdit")->text(), "0");
    EXPECT_EQ(tile()->currentText(), "");
    ASSERT_EQ(tile()->count(), NamedTileCount);
    for (int i = 0; i < NamedTileCount; ++i) EXPECT_EQ(tile()->itemText(i), NamedTiles[size_t(i)].Name);
    const auto* upDown = child<TUpDown>("FillAltitudeUpDown");
    EXPECT_EQ(upDown->minimum(), -128);
    EXPECT_EQ(upDown->maximum(), 127);
    EXPECT_EQ(child<QPushButton>("GoButton")->text(), "Go!");
    EXPECT_TRUE(box("StaticsCheckBox")->isChecked());
    EXPECT_TRUE(box("MapCheckBox")->isChecked());

    // Nothing stored: three empty red fields, only the map path can be typed, no "Go!".
    for (const char* name : {"MStaIdxEdit", "MStaticsEdit", "MMapEdit"}) {
        EXPECT_EQ(edit(name)->text(), "") << name;
        EXPECT_EQ(colour(name), FieldColour::Red) << name;
    }
    EXPECT_FALSE(enabled("MStaIdxEdit"));
    EXPECT_FALSE(enabled("MStaticsEdit"));
    EXPECT_TRUE(enabled("MMapEdit"));
    EXPECT_FALSE(enabled("GoButton"));
}

TEST_F(FillClearFormTest, MapPathJudgedAndStoredWithTheLastKeystroke) {
    makeWorld();
    settings::writeString(settings::StaIdx, q(staidx));
    settings::writeString(settings::Statics, q(statics));
    const std::string upper = world.file("MAP0.MUL"), other = world.file("map1.mul");
    std::filesystem::copy_file(map, upper);
    writeBytes(other, "x");
    form.show();
    EXPECT_EQ(colour("MStaIdxEdit"), FieldColour::Green);
    EXPECT_EQ(colour("MStaticsEdit"), FieldColour::Green);

    edit("MMapEdit")->setText(q(other));
    EXPECT_EQ(colour("MMapEdit"), FieldColour::Red);
    EXPECT_FALSE(enabled("GoButton"));
    EXPECT_FALSE(settings::contains(settings::Map));

    edit("MMapEdit")->clear();
    const QString typed = q(upper);
    QTest::keyClicks(edit("MMapEdit"), typed.left(typed.size() - 1));
    EXPECT_FALSE(settings::contains(settings::Map));
    EXPECT_FALSE(enabled("GoButton"));
    QTest::keyClicks(edit("MMapEdit"), typed.right(1));
    EXPECT_EQ(colour("MMapEdit"), FieldColour::Green);
    EXPECT_TRUE(enabled("GoButton"));
    EXPECT_EQ(settings::readString(settings::Map), typed);
    EXPECT_EQ(settings::readString(settings::StaIdx), q(staidx));
    EXPECT_EQ(settings::readString(settings::Statics), q(statics));
}

TEST_F(FillClearFormTest, TheMapFieldTakesABrowsedOrDroppedFile) {
    makeWorld();
    settings::writeString(settings::StaIdx, q(staidx));
    settings::writeString(settings::Statics, q(statics));
    form.show();
    // The statics paths are not the user's to change here: no buttons for them.
    EXPECT_FALSE(child<QToolButton>("MStaIdxEditBrowse")->isEnabled());
    EXPECT_FALSE(child<QToolButton>("MStaticsEditBrowse")->isEnabled());

    prompts.fileAnswers.push_back(q(map));
    child<QToolButton>("MMapEditBrowse")->click();
    ASSERT_FALSE(prompts.shown.empty());
    EXPECT_EQ(prompts.shown.back().kind, "open");
    EXPECT_EQ(prompts.shown.back().filter, "Map (map*.mul map*LegacyMUL.uop);;All files (*)");
    EXPECT_EQ(colour("MMapEdit"), FieldColour::Green);
    EXPECT_TRUE(enabled("GoButton"));

    edit("MMapEdit")->clear();
    EXPECT_TRUE(dropLocalPath(edit("MMapEdit"), q(map)));
    EXPECT_EQ(edit("MMapEdit")->text(), q(map));
    EXPECT_EQ(colour("MMapEdit"), FieldColour::Green);
}

TEST_F(FillClearFormTest, OnePassStaysChosenAndItsControlsFollow) {
    form.show();
    box("MapCheckBox")->click();
    EXPECT_FALSE(box("MapCheckBox")->isChecked());
    for (const char* name : {"FillTileLabel", "FillTileComboBox", "FillAltitudeLabel", "FillAltitudeEdit"})
        EXPECT_FALSE(enabled(name)) << name;
    EXPECT_TRUE(enabled("FillAltitudeUpDown"));
    EXPECT_TRUE(enabled("StaticsClearInfoLabel"));

    box("StaticsCheckBox")->click();  // the last one: the map pass comes back
    EXPECT_FALSE(box("StaticsCheckBox")->isChecked());
    EXPECT_TRUE(box("MapCheckBox")->isChecked());
    for (const char* name : {"FillTileLabel", "FillTileComboBox", "FillAltitudeLabel", "FillAltitudeEdit"})
        EXPECT_TRUE(enabled(name)) << name;
    EXPECT_FALSE(enabled("StaticsClearInfoLabel"));
}

TEST_F(FillClearFormTest, AltitudeClampedWhenTheFieldIsLeft) {
    form.show();
    QLineEdit* altitude = edit("FillAltitudeEdit");
    for (auto [typed, kept] : {std::pair{"300", "127"}, {"-300", "-128"}, {"12", "12"}, {" 7", " 7"}}) {
        altitude->setText(typed);
        leave(altitude);
        EXPECT_EQ(altitude->text(), kept) << typed;
    }
    altitude->setText("high");
    leave(altitude);
    EXPECT_EQ(altitude->text(), "high");
    EXPECT_EQ(prompts.errors(), QStringList{"'high' is not a valid integer value"});
}

TEST_F(FillClearFormTest, GoFillsAndClearsTheRectangleWithStatusAndProgress) {
    makeWorld();
    // Block (2, 0) is partly inside x 10..20: its item at cell (19, 3) goes, the one at (22, 1) stays.
    const TStaticRec inside{0x0101, 3, 3, 5, 0}, outside{0x0102, 6, 1, 5, 0};
    putStatics(2, 0, {inside, outside});
    storePaths();
    form.show();
    ASSERT_TRUE(enabled("GoButton"));
    setArea("0", "10", "20", "7");
    tile()->setEditText("00 A8");
    edit("FillAltitudeEdit")->setText("-5");

    go();
    ASSERT_TRUE(prompts.errors().isEmpty()) << prompts.errors().join("; ").toStdString();
    EXPECT_EQ(cell(10, 0), (TMapCell{0x00A8, -5}));
    EXPECT_EQ(cell(20, 7), (TMapCell{0x00A8, -5}));
    EXPECT_EQ(cell(9, 0), originalCell(9, 0));
    EXPECT_EQ(cell(21, 3), originalCell(21, 3));
    EXPECT_EQ(cell(10, 8), originalCell(10, 8));
    EXPECT_EQ(blockStatics(2, 0), std::vector<TStaticRec>{outside});

    EXPECT_EQ(statuses, (QStringList{"BUSY", "Ready"}));
    EXPECT_EQ(statusColours.front(), QColor(255, 0, 0));
    EXPECT_TRUE(progressSeenVisible);
    EXPECT_GE(barMoves, 2);  // once per pass at least
    EXPECT_FALSE(inputSeenDuringRun);
    expectIdleAndReady();
}

TEST_F(FillClearFormTest, GoKeepsTheAltitudeInRangeEvenIfTheFieldWasNotLeft) {
    makeWorld();
    storePaths();
    form.show();
    setArea("0", "0", "7", "7");
    box("StaticsCheckBox")->click();
    tile()->setEditText("00 A8");
    edit("FillAltitudeEdit")->setText("300");
    go();
    ASSERT_TRUE(prompts.errors().isEmpty()) << prompts.errors().join("; ").toStdString();
    EXPECT_EQ(edit("FillAltitudeEdit")->text(), "127");
    EXPECT_EQ(cell(0, 0), (TMapCell{0x00A8, 127}));
}

TEST_F(FillClearFormTest, MistypedTextsStopBeforeTheRun) {
    makeWorld();
    storePaths();
    form.show();
    const std::string before = readBytes(map) + readBytes(staidx);
    bool indexWritten = false;
    QObject::connect(&appEvents(), &AppEvents::staticIndexWritten, &form, [&] { indexWritten = true; });

    setArea("0", "10", "2O", "7");  // a letter O
    go();
    setArea("0", "10", "20", "7");
    tile()->setEditText("lava?");
    go();
    EXPECT_EQ(prompts.errors(), (QStringList{"'2O' is not a valid integer value", "Input not SpacedHex"}));
    EXPECT_TRUE(statuses.isEmpty());
    EXPECT_EQ(barMoves, 0);
    EXPECT_FALSE(indexWritten);  // the main window keeps its loaded index
    EXPECT_TRUE(enabled("GoButton"));
    EXPECT_EQ(readBytes(map) + readBytes(staidx), before);
}

TEST_F(FillClearFormTest, AfterAFailedRunTheWindowIsUsableAndTheStatusReady) {
    makeWorld();
    storePaths();
    form.show();
    // The map ends before the rectangle's last block column.
    setArea("0", "0", "63", "7");
    tile()->setEditText("00 A8");
    go();
    ASSERT_EQ(prompts.errors().size(), 1);
    EXPECT_EQ(prompts.errors().front(), "Read beyond end of file");
    EXPECT_EQ(statuses.front(), "BUSY");
    expectIdleAndReady();
    EXPECT_TRUE(enabled("GoButton"));
}

TEST_F(FillClearFormTest, ShowingAgainKeepsTheValuesAndReloadsOnlyThePaths) {
    makeWorld();
    storePaths();
    form.show();
    setArea("16", "8", "15", "23");
    tile()->setEditText("Random water");
    edit("FillAltitudeEdit")->setText("12");
    box("MapCheckBox")->click();
    form.hide();

    const std::string otherMap = world.file("other/map0.mul");
    std::filesystem::create_directory(world.path() / "other");
    std::filesystem::copy_file(map, otherMap);
    settings::writeString(settings::Map, q(otherMap));
    form.show();
    EXPECT_EQ(edit("ClearAreaTopEdit")->text(), "16");
    EXPECT_EQ(edit("ClearAreaLeftEdit")->text(), "8");
    EXPECT_EQ(edit("ClearAreaRightEdit")->text(), "15");
    EXPECT_EQ(edit("ClearAreaBottomEdit")->text(), "23");
    EXPECT_EQ(tile()->currentText(), "Random water");
    EXPECT_EQ(edit("FillAltitudeEdit")->text(), "12");
    EXPECT_FALSE(box("MapCheckBox")->isChecked());
    EXPECT_EQ(edit("MMapEdit")->text(), q(otherMap));
    EXPECT_TRUE(enabled("GoButton"));
}

TEST_F(FillClearFormTest, MainWindowAsksForTheIndexAgainAfterClearing) {
    makeWorld();
    putStatics(2, 0, {TStaticRec{0x0101, 3, 3, 5, 0}});
    const std::string wsc = world.file("items.wsc");
    writeBytes(wsc, "EOF\r\n");
    storePaths();
    settings::writeString(settings::WorldSave, q(wsc));
    settings::writeInt(settings::Mode, NormalMode);
    TMainForm mainForm;
    mainForm.show();
    mainForm.findChild<QPushButton*>("GetStaticIndexButton")->click();
    ASSERT_TRUE(mainForm.indexLoaded()) << prompts.errors().join("; ").toStdString();

    // "Fill/Clear" shows this window modally; the user closes it again.
    mainForm.setOtherWindows({nullptr, &form, nullptr});
    bool shownModally = false;
    QTimer::singleShot(0, &form, [&] {
        shownModally = form.isVisible() && form.isModal();
        child<QToolButton>("BitBtn1")->click();
    });
    mainForm.findChild<QPushButton*>("FillClearButton")->click();
    EXPECT_TRUE(shownModally);
    EXPECT_FALSE(form.isVisible());

    form.show();
    setArea("0", "16", "23", "7");
    box("MapCheckBox")->click();  // statics only
    go();
    ASSERT_TRUE(prompts.errors().isEmpty()) << prompts.errors().join("; ").toStdString();
    EXPECT_TRUE(blockStatics(2, 0).empty());
    EXPECT_FALSE(mainForm.indexLoaded());
    EXPECT_TRUE(mainForm.findChild<QPushButton*>("GetStaticIndexButton")->isEnabled());
    // The fill/clear texts reached the main window's label.
    EXPECT_EQ(mainForm.findChild<QLabel*>("lblStatus")->text(), "Ready");
}

} // namespace
} // namespace tq::test
