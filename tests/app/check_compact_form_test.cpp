// File > Check world… and Compact statics…: the same code as the command line, with the
// progress window and the report in the log.
#include "main_form_fixture.h"

#include "check/compact.h"

#include <QAction>
#include <QSignalSpy>

namespace tq::test {
namespace {

class CheckCompactFormTest : public MainFormTest {
protected:
    void SetUp() override {
        MainFormTest::SetUp();
        makeWorld();
        storeWorldPaths();
    }
    QAction* action(const char* name) const { return form->findChild<QAction*>(name); }
    QString q(const std::string& s) const { return QString::fromStdString(s); }
};

TEST_F(CheckCompactFormTest, CheckWorldReportsInTheLog) {
    storeMode(0);
    start();
    prompts.shown.clear();
    QSignalSpy progress(progressForm.findChild<QProgressBar*>("ProgressBar"), &QProgressBar::valueChanged);
    prompts.fileAnswers = {q(world.path().string())};
    action("CheckWorld1")->trigger();
    ASSERT_TRUE(prompts.errors().isEmpty()) << prompts.errors().join("; ").toStdString();
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].kind, "folder");
    EXPECT_EQ(prompts.shown[0].start, q(world.path().string())) << "it opens at the index's folder";
    const QStringList log = logLines();
    EXPECT_TRUE(log.contains("Checked " + q(staidx) + ": static index, facet 0, 768 \u00d7 512 blocks")) << log.join("\n").toStdString();
    EXPECT_TRUE(log.contains(q(statics) + ": note: 7 of its 42 bytes (16.7%) are not referenced by any index entry; "
                                          "compact gives them back"))
        << log.join("\n").toStdString();
    EXPECT_EQ(log.last(), "No problems found in 3 files");
    expectReady();
    EXPECT_GT(progress.count(), 1);
    EXPECT_FALSE(progressForm.isVisible());

    // A cancelled folder dialog does nothing.
    const int lines = int(logLines().size());
    prompts.fileAnswers = {""};
    action("CheckWorld1")->trigger();
    EXPECT_EQ(logLines().size(), lines);
    expectReady();
}

TEST_F(CheckCompactFormTest, CompactGivesBackTheDeadBytesAndKeepsTheLoadedIndexTrue) {
    storeMode(0);
    start();
    loadIndex();
    prompts.shown.clear();
    prompts.answers = {true};
    action("CompactStatics1")->trigger();
    ASSERT_TRUE(prompts.errors().isEmpty()) << prompts.errors().join("; ").toStdString();
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].kind, "question");
    EXPECT_EQ(logLines().last(), "Compacted " + q(statics) + ": 42 bytes before, 35 after (7 bytes given back)");
    expectReady();
    // The runs moved; the window's index is the file's again, so a freeze is not refused.
    auto onDisk = newStaticIndex();
    LoadStaticIndex(staidx, *onDisk);
    EXPECT_EQ(form->staticIndex().entries, onDisk->entries);
    EXPECT_EQ(onDisk->at(10, 20), (TStaticIndexRec{0, 21, 0}));

    // No: nothing changes.
    const std::string before = readBytes(statics);
    prompts.answers = {false};
    action("CompactStatics1")->trigger();
    EXPECT_EQ(readBytes(statics), before);
    expectReady();
}

TEST_F(CheckCompactFormTest, CompactRefusesADamagedWorldAndLogsWhy) {
    auto index = newStaticIndex();
    LoadStaticIndex(staidx, *index);
    index->at(3, 3) = {7, 20, 0};
    SaveStaticIndex(staidx, *index);
    const std::string idxBytes = readBytes(staidx), staticsBytes = readBytes(statics);
    storeMode(0);
    start();
    prompts.answers = {true};
    action("CompactStatics1")->trigger();
    EXPECT_EQ(prompts.errors(), QStringList{q(CompactRefusedMessage)});
    EXPECT_TRUE(logLines().contains(q(staidx) + ": error: block (3, 3): its Length 20 is not a multiple of 7"))
        << logLines().join("\n").toStdString();
    EXPECT_EQ(readBytes(staidx), idxBytes);
    EXPECT_EQ(readBytes(statics), staticsBytes);
    expectReady();
}

TEST_F(CheckCompactFormTest, OperatorsOnly) {
    storeMode(1);
    start();
    EXPECT_FALSE(action("CheckWorld1")->isVisible());
    EXPECT_FALSE(action("CompactStatics1")->isVisible());
    form.reset();

    storeMode(0);
    start();
    EXPECT_TRUE(action("CheckWorld1")->isVisible());
    EXPECT_TRUE(action("CompactStatics1")->isVisible());
    EXPECT_TRUE(action("CompactStatics1")->isEnabled());
    edit("StaticsEdit")->setText(q(world.file("none.mul")));
    EXPECT_FALSE(action("CompactStatics1")->isEnabled()) << "it works on the two statics fields";
}

} // namespace
} // namespace tq::test
