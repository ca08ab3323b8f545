#include "app/main_form_fixture.h"

#include <QAction>
#include <QSignalSpy>

#include <filesystem>

// File > Convert map…: a map between map{N}.mul and map{N}LegacyMUL.uop from the main window.
namespace tq::test {
namespace {

class ConvertMapFormTest : public MainFormTest {
protected:
    void SetUp() override {
        MainFormTest::SetUp();
        makeWorld();
        storeWorldPaths();
        storeMode(0);
        start();
        prompts.shown.clear();
    }
    void choose() { form->findChild<QAction*>("ConvertMap1")->trigger(); }
};

TEST_F(ConvertMapFormTest, ConvertsBothWaysWithProgressAndLogsIt) {
    const std::string mul = world.file("map2.mul"), uop = world.file("map2LegacyMUL.uop");
    std::string bytes(size_t(WorldGeometry(2, 288, 200).mapBytes()), '\0');
    for (size_t i = 0; i < bytes.size(); i += 97) bytes[i] = char(i / 97);
    writeBytes(mul, bytes);
    QSignalSpy progress(progressForm.findChild<QProgressBar*>("ProgressBar"), &QProgressBar::valueChanged);

    prompts.fileAnswers = {QString::fromStdString(mul), QString::fromStdString(uop)};
    choose();
    ASSERT_TRUE(prompts.errors().isEmpty()) << prompts.errors().join("; ").toStdString();
    ASSERT_EQ(prompts.shown.size(), 2u);
    EXPECT_EQ(prompts.shown[0].kind, "open");
    EXPECT_EQ(prompts.shown[1].kind, "save");
    EXPECT_EQ(prompts.shown[1].title, "Convert map2.mul to");
    EXPECT_EQ(prompts.shown[1].start, QString::fromStdString(uop)) << "the container's name is offered beside it";
    EXPECT_EQ(logLines().last(), QString::fromStdString("Converted " + mul + " to " + uop + " (facet 2, 2304 \u00d7 1600)"));
    expectReady();
    EXPECT_GT(progress.count(), 2);
    EXPECT_EQ(progressForm.findChild<QProgressBar*>("ProgressBar")->value(), 100);
    EXPECT_FALSE(progressForm.isVisible());

    std::filesystem::remove(mul);
    prompts.fileAnswers = {QString::fromStdString(uop), QString::fromStdString(mul)};
    choose();
    ASSERT_TRUE(prompts.errors().isEmpty()) << prompts.errors().join("; ").toStdString();
    EXPECT_TRUE(readBytes(mul) == bytes);
}

TEST_F(ConvertMapFormTest, ACancelDoesNothingAndARefusalIsShown) {
    prompts.fileAnswers = {""};
    choose();
    EXPECT_EQ(prompts.shown.size(), 1u);
    expectReady();

    const std::string bad = world.file("map2LegacyMUL.uop");
    writeBytes(bad, "not a container at all, though long enough for a header");
    prompts.fileAnswers = {QString::fromStdString(bad), QString::fromStdString(world.file("map2.mul"))};
    choose();
    EXPECT_EQ(prompts.errors(), QStringList{QString::fromStdString(bad + ": not a UOP container: it does not start with MYP")});
    EXPECT_FALSE(std::filesystem::exists(world.file("map2.mul")));
    expectReady();
}

} // namespace
} // namespace tq::test
