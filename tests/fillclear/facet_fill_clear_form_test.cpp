// The fill/clear window on the worlds of today's clients: its borders start at the whole
// world of its files, and "Go!" reaches the last column and row.
#include "core/map_file.h"
#include "core/static_index.h"
#include "fillclear/fill_clear_form.h"
#include "support/facet_worlds.h"
#include "support/temp_dir.h"
#include "support/ui/scripted_prompts.h"
#include "ui/path_field.h"
#include "ui/progress_form.h"
#include "ui/settings.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <gtest/gtest.h>

namespace tq::test {
namespace {

QString q(const std::string& s) { return QString::fromStdString(s); }

class FacetFillClearFormTest : public ::testing::TestWithParam<FacetWorldCase> {
protected:
    TempDir settingsDir, dir;
    ScriptedPrompts prompts;
    TProgressForm progressForm;
    WorldGeometry w = GetParam().world;
    std::string folder = dir.file("world");
    std::string staidx = facetFile(folder, "staidx", w), statics = facetFile(folder, "statics", w),
                map = facetFile(folder, "map", w);

    void SetUp() override {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, q(settingsDir.path().string()));
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, q(settingsDir.path().string()));
        makeFacetWorld(folder, w, 500);
        settings::writeString(settings::StaIdx, q(staidx));
        settings::writeString(settings::Statics, q(statics));
        settings::writeString(settings::Map, q(map));
    }
    TMapCell cell(const std::string& bytes, int x, int y) const {
        TMapCell c;
        decodeMapCell(reinterpret_cast<const uint8_t*>(bytes.data()) + w.mapCellOffset(x, y), c);
        return c;
    }
    TStaticIndexRec entry(const std::string& index, int bx, int by) const {
        TStaticIndexRec e;
        decodeIndexRec(reinterpret_cast<const uint8_t*>(index.data()) + w.staticIndexOffset(bx, by), e);
        return e;
    }
};

TEST_P(FacetFillClearFormTest, BordersFollowTheWorldAndGoReachesTheLastCell) {
    TTQFillClearForm form;
    auto edit = [&](const char* name) { return form.findChild<QLineEdit*>(name); };
    form.show();
    for (const char* name : {"MStaIdxEdit", "MStaticsEdit", "MMapEdit"})
        EXPECT_EQ(fieldColour(edit(name)), FieldColour::Green) << name;
    EXPECT_EQ(form.world(), w);
    EXPECT_EQ(form.windowTitle(), q("Fill/Clear - " + w.describe()));
    EXPECT_EQ(edit("ClearAreaRightEdit")->text(), QString::number(w.cellsWide() - 1));
    EXPECT_EQ(edit("ClearAreaBottomEdit")->text(), QString::number(w.cellsHigh() - 1));
    EXPECT_EQ(edit("ClearAreaRightEdit")->toolTip(), "Cell column 0.." + QString::number(w.cellsWide() - 1));

    // The last 3 block columns and 2 block rows.
    const int left = w.cellsWide() - 3 * BlockSize, top = w.cellsHigh() - 2 * BlockSize;
    edit("ClearAreaLeftEdit")->setText(QString::number(left));
    edit("ClearAreaTopEdit")->setText(QString::number(top));
    form.findChild<QComboBox*>("FillTileComboBox")->setEditText("00 A8");
    edit("FillAltitudeEdit")->setText("9");
    const std::string mapBefore = readBytes(map), indexBefore = readBytes(staidx);
    form.findChild<QPushButton*>("GoButton")->click();
    ASSERT_TRUE(prompts.errors().isEmpty()) << prompts.errors().join("; ").toStdString();

    const std::string mapAfter = readBytes(map), indexAfter = readBytes(staidx);
    ASSERT_EQ(mapAfter.size(), mapBefore.size());
    ASSERT_EQ(indexAfter.size(), w.staticIndexBytes());
    for (auto [x, y] : {std::pair{w.cellsWide() - 1, w.cellsHigh() - 1}, std::pair{left, top},
                        std::pair{w.cellsWide() - 1, top}, std::pair{left, w.cellsHigh() - 1}})
        EXPECT_EQ(cell(mapAfter, x, y), (TMapCell{0xA8, 9})) << x << "," << y;
    for (auto [x, y] : {std::pair{left - 1, w.cellsHigh() - 1}, std::pair{w.cellsWide() - 1, top - 1}})
        EXPECT_EQ(cell(mapAfter, x, y), cell(mapBefore, x, y)) << x << "," << y;
    for (int bx = 0; bx < w.blocksWide; ++bx)
        for (int by = 0; by < w.blocksHigh; ++by) {
            const bool inside = bx >= w.blocksWide - 3 && by >= w.blocksHigh - 2;
            const TStaticIndexRec e = entry(indexAfter, bx, by);
            if (inside)
                EXPECT_TRUE(e.Start == -1 || e.Length == 0) << bx << "," << by;
            else
                EXPECT_EQ(e, entry(indexBefore, bx, by)) << bx << "," << by;
        }
}

INSTANTIATE_TEST_SUITE_P(Worlds, FacetFillClearFormTest, ::testing::ValuesIn(FacetWorldCases),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace tq::test
