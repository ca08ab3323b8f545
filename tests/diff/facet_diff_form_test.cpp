// The diff window on the worlds of today's clients: a package generated from the window is
// compact (version 4) by default, and applied from the window it turns the player's originals into the
// operator's modified files, eastern and last columns included.
#include "core/bytes.h"
#include "core/setting_names.h"
#include "core/static_index.h"
#include "diff/diff_form.h"
#include "fillclear/fill_clear.h"
#include "support/facet_worlds.h"
#include "support/temp_dir.h"
#include "support/ui/scripted_prompts.h"
#include "ui/log_list.h"
#include "ui/operation.h"
#include "ui/path_field.h"
#include "ui/progress_form.h"

#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <gtest/gtest.h>

#include <QCheckBox>

#include <filesystem>

namespace tq::test {
namespace {

namespace fs = std::filesystem;
QString q(const std::string& s) { return QString::fromStdString(s); }

class FacetDiffFormTest : public ::testing::TestWithParam<FacetWorldCase> {
protected:
    TempDir settingsDir, dir;
    ScriptedPrompts prompts;
    TProgressForm progressForm;
    TTQDiffForm form;
    WorldGeometry w = GetParam().world;
    std::string orig = dir.file("orig"), mod = dir.file("mod"), player = dir.file("player");

    void SetUp() override {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, q(settingsDir.path().string()));
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, q(settingsDir.path().string()));
        setRunMode(NormalMode);
        makeFacetWorld(orig, w, 500);
        fs::copy(orig, mod, fs::copy_options::recursive);
        fs::copy(orig, player, fs::copy_options::recursive);
        // The operator's change: the last 20 x 12 cells cleared of statics and filled.
        FillClearInput fill;
        fill.Left = std::to_string(w.cellsWide() - 20);
        fill.Top = std::to_string(w.cellsHigh() - 12);
        fill.Right = std::to_string(w.cellsWide() - 1);
        fill.Bottom = std::to_string(w.cellsHigh() - 1);
        fill.StaIdxPath = file(mod, "staidx");
        fill.StaticsPath = file(mod, "statics");
        fill.MapPath = file(mod, "map");
        fill.Tile = "00 A8";
        FillClear(fill);
        ASSERT_FALSE(readBytes(file(mod, "map")) == readBytes(file(orig, "map")));
    }
    std::string file(const std::string& folder, const char* stem) const { return facetFile(folder, stem, w); }

    QLineEdit* edit(const char* name) const { return form.findChild<QLineEdit*>(name); }
    void setPaths(const std::string& modified) {
        edit("OStaIdxEdit")->setText(q(file(orig, "staidx")));
        edit("OStaticsEdit")->setText(q(file(orig, "statics")));
        edit("OMapEdit")->setText(q(file(orig, "map")));
        edit("MStaIdxEdit")->setText(q(file(modified, "staidx")));
        edit("MStaticsEdit")->setText(q(file(modified, "statics")));
        edit("MMapEdit")->setText(q(file(modified, "map")));
    }

    // Every block's records, as the index of `folder` points at them.
    std::vector<std::string> blocks(const std::string& folder) const {
        const std::string index = readBytes(file(folder, "staidx")), heap = readBytes(file(folder, "statics"));
        EXPECT_EQ(index.size(), w.staticIndexBytes());
        std::vector<std::string> out(size_t(w.blockCount()));
        for (int b = 0; b < w.blockCount(); ++b) {
            TStaticIndexRec e;
            decodeIndexRec(reinterpret_cast<const uint8_t*>(index.data()) + size_t(b) * StaticIndexRecSize, e);
            if (e.Start != -1 && e.Length > 0) out[size_t(b)] = heap.substr(size_t(e.Start), size_t(e.Length));
        }
        return out;
    }
};

TEST_P(FacetDiffFormTest, GenerateAndApplyFromTheWindow) {
    form.show();
    setPaths(mod);
    for (const char* name : {"OStaIdxEdit", "OStaticsEdit", "OMapEdit", "MStaIdxEdit", "MStaticsEdit", "MMapEdit"})
        EXPECT_EQ(fieldColour(edit(name)), FieldColour::Green) << name;
    ASSERT_TRUE(form.findChild<QPushButton*>("GenerateButton")->isEnabled());

    // A world other than 768 x 512: the compact form unless the user said otherwise.
    EXPECT_TRUE(form.findChild<QCheckBox*>("CompactCheckBox")->isChecked());
    const std::string package = dir.file("change.tq2");
    prompts.fileAnswers.push_back(q(package));
    form.findChild<QPushButton*>("GenerateButton")->click();
    ASSERT_TRUE(prompts.errors().isEmpty()) << prompts.errors().join("; ").toStdString();
    const std::string header = readBytes(package).substr(0, 44);
    const auto field = [&](int i) { return le::i32(reinterpret_cast<const uint8_t*>(header.data()) + 4 * i); };
    EXPECT_EQ(field(0), 4);
    EXPECT_EQ(field(8), w.facet);
    EXPECT_EQ(field(9), w.blocksWide);
    EXPECT_EQ(field(10), w.blocksHigh);

    setPaths(player);
    prompts.fileAnswers.push_back(q(package));
    form.findChild<QPushButton*>("ApplyButton")->click();
    ASSERT_TRUE(prompts.errors().isEmpty()) << prompts.errors().join("; ").toStdString();
    EXPECT_TRUE(readBytes(file(player, "map")) == readBytes(file(mod, "map")));
    EXPECT_EQ(fs::file_size(file(player, "staidx")), w.staticIndexBytes());
    EXPECT_TRUE(blocks(player) == blocks(mod));
    // The log says what was chosen for applying, then which version was read.
    const QStringList lines = form.findChild<LogList*>("TQDiffListBox")->lines();
    const QString made = q("Package: version 4 (compact), for a world of " + w.blocksText() + " blocks (facet " +
                           std::to_string(w.facet) + ")");
    ASSERT_TRUE(lines.contains(made)) << lines.join("\n").toStdString();
    EXPECT_EQ(lines.last(), "Applied a version 4 (compact) package");
    EXPECT_LT(lines.indexOf(made), lines.size() - 1);
}

INSTANTIATE_TEST_SUITE_P(Worlds, FacetDiffFormTest, ::testing::ValuesIn(FacetWorldCases),
                         [](const auto& info) { return std::string(info.param.name); });

// One facet for all six: a field of another turns red with the reason and takes the actions away.
TEST(DiffFormFacets, AFieldOfAnotherFacetTurnsRed) {
    TempDir settingsDir, dir;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, q(settingsDir.path().string()));
    ScriptedPrompts prompts;
    TTQDiffForm form;
    setRunMode(NormalMode);
    form.show();
    const char* names[] = {"OStaIdxEdit", "OStaticsEdit", "OMapEdit", "MStaIdxEdit", "MStaticsEdit", "MMapEdit"};
    const char* files[] = {"o/staidx2.mul", "o/statics2.mul", "o/map2.mul", "m/STAIDX2.MUL", "m/statics2.mul", "m/map0.mul"};
    fs::create_directories(dir.path() / "o");
    fs::create_directories(dir.path() / "m");
    for (int i = 0; i < 6; ++i) {
        writeBytes(dir.file(files[i]), "x");
        form.findChild<QLineEdit*>(names[i])->setText(q(dir.file(files[i])));
    }
    for (int i = 0; i < 5; ++i) EXPECT_EQ(fieldColour(form.findChild<QLineEdit*>(names[i])), FieldColour::Green);
    QLineEdit* map = form.findChild<QLineEdit*>("MMapEdit");
    EXPECT_EQ(fieldColour(map), FieldColour::Red);
    EXPECT_EQ(map->toolTip(), "map0.mul is of facet 0, the other files of facet 2");
    EXPECT_FALSE(form.findChild<QPushButton*>("ApplyButton")->isEnabled());
    writeBytes(dir.file("m/Map2.mul"), "x");
    map->setText(q(dir.file("m/Map2.mul")));
    EXPECT_EQ(fieldColour(map), FieldColour::Green);
    EXPECT_TRUE(form.findChild<QPushButton*>("ApplyButton")->isEnabled());
}

} // namespace
} // namespace tq::test
