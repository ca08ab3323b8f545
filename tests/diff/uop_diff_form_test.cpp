// The diff window on maps in UOP containers: generated from containers, applied to a
// player's container, which then holds the operator's map with its checksums right.
#include "core/map_file.h"
#include "core/setting_names.h"
#include "diff/diff_form.h"
#include "fillclear/fill_clear.h"
#include "tools/synthetic_world.h"
#include "support/temp_dir.h"
#include "support/ui/scripted_prompts.h"
#include "ui/operation.h"
#include "ui/path_field.h"
#include "ui/progress_form.h"
#include "uop/uop_fixture.h"

#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <gtest/gtest.h>

#include <filesystem>

namespace tq::test {
namespace {

namespace fs = std::filesystem;
QString q(const std::string& s) { return QString::fromStdString(s); }

// The map a container holds.
std::string mapBytes(const std::string& path) {
    auto file = openMapFile(path, OpenMode::Read);
    std::string bytes(size_t(file->size()), '\0');
    file->read(bytes.data(), bytes.size());
    return bytes;
}

TEST(UopDiffFormTest, GenerateAndApplyOnContainers) {
    TempDir settingsDir, dir;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, q(settingsDir.path().string()));
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, q(settingsDir.path().string()));
    ScriptedPrompts prompts;
    TProgressForm progressForm;
    TTQDiffForm form;
    setRunMode(NormalMode);
    const WorldGeometry w(2, 288, 200);
    const std::string orig = dir.file("orig"), mod = dir.file("mod"), player = dir.file("player");
    fs::create_directories(orig);
    makeSyntheticWorld(orig, 100, 4, {}, w, true);
    fs::copy(orig, mod, fs::copy_options::recursive);
    fs::copy(orig, player, fs::copy_options::recursive);
    const auto path = [](const std::string& folder, const char* name) { return folder + "/" + name; };
    FillClearInput fill;
    fill.Left = std::to_string(w.cellsWide() - 20);
    fill.Top = "0";
    fill.Right = std::to_string(w.cellsWide() - 1);
    fill.Bottom = std::to_string(w.cellsHigh() - 1);
    fill.StaIdxPath = path(mod, "staidx2.mul");
    fill.StaticsPath = path(mod, "statics2.mul");
    fill.MapPath = path(mod, "map2LegacyMUL.uop");
    fill.Tile = "00 A8";
    FillClear(fill);
    ASSERT_FALSE(mapBytes(fill.MapPath) == mapBytes(path(orig, "map2LegacyMUL.uop")));

    auto edit = [&](const char* name) { return form.findChild<QLineEdit*>(name); };
    const auto setPaths = [&](const std::string& modified) {
        edit("OStaIdxEdit")->setText(q(path(orig, "staidx2.mul")));
        edit("OStaticsEdit")->setText(q(path(orig, "statics2.mul")));
        edit("OMapEdit")->setText(q(path(orig, "map2LegacyMUL.uop")));
        edit("MStaIdxEdit")->setText(q(path(modified, "staidx2.mul")));
        edit("MStaticsEdit")->setText(q(path(modified, "statics2.mul")));
        edit("MMapEdit")->setText(q(path(modified, "map2LegacyMUL.uop")));
    };
    form.show();
    setPaths(mod);
    for (const char* name : {"OMapEdit", "MMapEdit"}) EXPECT_EQ(fieldColour(edit(name)), FieldColour::Green) << name;
    const std::string package = dir.file("change.tq2");
    prompts.fileAnswers.push_back(q(package));
    form.findChild<QPushButton*>("GenerateButton")->click();
    ASSERT_TRUE(prompts.errors().isEmpty()) << prompts.errors().join("; ").toStdString();

    setPaths(player);
    prompts.fileAnswers.push_back(q(package));
    form.findChild<QPushButton*>("ApplyButton")->click();
    ASSERT_TRUE(prompts.errors().isEmpty()) << prompts.errors().join("; ").toStdString();
    EXPECT_TRUE(mapBytes(path(player, "map2LegacyMUL.uop")) == mapBytes(path(mod, "map2LegacyMUL.uop")));
    EXPECT_EQ(staleChecksums(path(player, "map2LegacyMUL.uop")), "");
}

} // namespace
} // namespace tq::test
