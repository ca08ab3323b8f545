// The fill/clear window on a map{N}LegacyMUL.uop: the field takes the container, the
// borders follow its world, and "Go!" fills cells inside it with its checksums kept right.
#include "core/map_file.h"
#include "fillclear/fill_clear_form.h"
#include "tools/synthetic_world.h"
#include "support/temp_dir.h"
#include "support/ui/scripted_prompts.h"
#include "ui/path_field.h"
#include "ui/progress_form.h"
#include "ui/settings.h"
#include "uop/uop_fixture.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <gtest/gtest.h>

#include <filesystem>

namespace tq::test {
namespace {

QString q(const std::string& s) { return QString::fromStdString(s); }

TEST(UopFillClearFormTest, FillsTheMapInsideTheContainer) {
    TempDir settingsDir, dir;
    ScriptedPrompts prompts;
    TProgressForm progressForm;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, q(settingsDir.path().string()));
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, q(settingsDir.path().string()));
    const WorldGeometry w(2, 288, 200);
    const std::string folder = dir.file("world");
    std::filesystem::create_directories(folder);
    makeSyntheticWorld(folder, 10, 5, {}, w, true);
    const std::string map = folder + "/map2LegacyMUL.uop";
    settings::writeString(settings::StaIdx, q(folder + "/staidx2.mul"));
    settings::writeString(settings::Statics, q(folder + "/statics2.mul"));
    settings::writeString(settings::Map, q(map));
    const auto length = std::filesystem::file_size(map);

    TTQFillClearForm form;
    auto edit = [&](const char* name) { return form.findChild<QLineEdit*>(name); };
    form.show();
    EXPECT_EQ(fieldColour(edit("MMapEdit")), FieldColour::Green);
    EXPECT_EQ(form.world(), w);
    EXPECT_EQ(edit("ClearAreaRightEdit")->text(), QString::number(w.cellsWide() - 1));
    // The last 3 block columns: the end of the container's last entry.
    const int left = w.cellsWide() - 3 * BlockSize;
    edit("ClearAreaLeftEdit")->setText(QString::number(left));
    form.findChild<QComboBox*>("FillTileComboBox")->setEditText("00 A8");
    edit("FillAltitudeEdit")->setText("9");
    form.findChild<QPushButton*>("GoButton")->click();
    ASSERT_TRUE(prompts.errors().isEmpty()) << prompts.errors().join("; ").toStdString();

    auto file = openMapFile(map, OpenMode::Read);
    for (auto [x, y] : {std::pair{w.cellsWide() - 1, w.cellsHigh() - 1}, std::pair{left, 0}})
        EXPECT_EQ(ReadMapCell(*file, w, x, y), (TMapCell{0xA8, 9})) << x << "," << y;
    EXPECT_NE(ReadMapCell(*file, w, left - 1, 0), (TMapCell{0xA8, 9}));
    file->close();
    EXPECT_EQ(staleChecksums(map), "");
    EXPECT_EQ(std::filesystem::file_size(map), length);
}

} // namespace
} // namespace tq::test
