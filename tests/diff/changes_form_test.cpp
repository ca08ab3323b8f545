// The diff window's "Show changes": the modified map's overview with the blocks that
// differ from the original tinted red, in a window of its own.
#include "core/file_system.h"
#include "core/radar_colours.h"
#include "core/setting_names.h"
#include "diff/diff_form.h"
#include "mapedit/overview.h"
#include "support/facet_worlds.h"
#include "support/temp_dir.h"
#include "support/ui/scripted_prompts.h"
#include "ui/operation.h"
#include "ui/progress_form.h"

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <gtest/gtest.h>

#include <filesystem>

namespace tq::test {
namespace {

namespace fs = std::filesystem;
QString q(const std::string& s) { return QString::fromStdString(s); }

class ChangesFormTest : public ::testing::Test {
protected:
    TempDir settingsDir, dir;
    ScriptedPrompts prompts;
    TProgressForm progressForm;
    TTQDiffForm form;
    const WorldGeometry w{4, 181, 181};  // 1448 x 1448 cells: scale 2 fits 1024 pixels
    std::string orig = dir.file("orig"), mod = dir.file("mod");

    void SetUp() override {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, q(settingsDir.path().string()));
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, q(settingsDir.path().string()));
        setRunMode(NormalMode);
        makeFacetWorld(orig, w, 20);
        fs::copy(orig, mod, fs::copy_options::recursive);
        // The operator's change: one cell's altitude in block (100, 50).
        std::string map = readBytes(file(mod, "map"));
        map[size_t(w.mapCellOffset(803, 405)) + 2] ^= 0x10;
        writeBytes(file(mod, "map"), map);
    }
    void TearDown() override {
        for (QWidget* top : QApplication::topLevelWidgets())
            if (top->objectName() == "ChangesDialog") delete top;
    }
    std::string file(const std::string& folder, const char* stem) const { return facetFile(folder, stem, w); }
    QLineEdit* edit(const char* name) const { return form.findChild<QLineEdit*>(name); }
    void setPaths() {
        edit("OStaIdxEdit")->setText(q(file(orig, "staidx")));
        edit("OStaticsEdit")->setText(q(file(orig, "statics")));
        edit("OMapEdit")->setText(q(file(orig, "map")));
        edit("MStaIdxEdit")->setText(q(file(mod, "staidx")));
        edit("MStaticsEdit")->setText(q(file(mod, "statics")));
        edit("MMapEdit")->setText(q(file(mod, "map")));
    }
    QDialog* changesDialog() const {
        for (QWidget* top : QApplication::topLevelWidgets())
            if (top->objectName() == "ChangesDialog" && top->isVisible()) return qobject_cast<QDialog*>(top);
        return nullptr;
    }
    void clickShowChanges() {
        QTest::mouseClick(form.findChild<QPushButton*>("ShowChangesButton"), Qt::LeftButton);
    }
};

TEST_F(ChangesFormTest, ShowsTheModifiedMapWithTheDifferingBlockInRed) {
    form.show();
    setPaths();
    clickShowChanges();
    QDialog* dialog = changesDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->windowTitle(), "Changes: " + q(file(mod, "map")));
    EXPECT_EQ(dialog->findChild<QLabel*>("ChangesSummary")->text(),
              "1 block of the map differs from the original, marked red (one pixel per 2 x 2 cells)");
    const QImage shown = dialog->findChild<QLabel*>("ChangesPicture")->pixmap().toImage();
    ASSERT_EQ(shown.size(), QSize(724, 724));

    // The renderer's overview of the modified map, with block (100, 50) tinted: pixels
    // 400..403 x 200..203.
    auto map = openFile(file(mod, "map"), OpenMode::Read);
    const OverviewPicture plain = renderOverview(*map, w, RadarColours::load(mod + "/radarcol.mul"),
                                                 {0, 0, 1447, 1447}, {2});
    int wrong = 0;
    for (int y = 0; y < 724; ++y)
        for (int x = 0; x < 724; ++x) {
            Rgb8 e = plain.pixel(x, y);
            if (x >= 400 && x <= 403 && y >= 200 && y <= 203) e = {255, uint8_t(e.g / 3), uint8_t(e.b / 3)};
            if (shown.pixel(x, y) != qRgb(e.r, e.g, e.b)) ++wrong;
        }
    EXPECT_EQ(wrong, 0);
    EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(ChangesFormTest, SaysWhatIsMissingInsteadOfDrawing) {
    form.show();
    // Fields not found: nothing is read.
    clickShowChanges();
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].text, "The original and the modified map must both be found (green).");
    EXPECT_EQ(changesDialog(), nullptr);

    fileSystem().remove(orig + "/radarcol.mul");
    fileSystem().remove(mod + "/radarcol.mul");
    setPaths();
    clickShowChanges();
    ASSERT_EQ(prompts.shown.size(), 2u);
    EXPECT_EQ(prompts.shown[1].text,
              "No radarcol.mul beside the modified or the original map: the picture needs its colours.");
    EXPECT_EQ(changesDialog(), nullptr);
}

} // namespace
} // namespace tq::test
