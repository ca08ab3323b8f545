#pragma once
// A main window on a tiny world in a temporary folder, with the settings store in
// another one and every dialog answered by script.
#include "app/main_form.h"
#include "core/static_index.h"
#include "support/temp_dir.h"
#include "support/ui/scripted_prompts.h"
#include "ui/log_list.h"
#include "ui/path_field.h"
#include "ui/progress_form.h"
#include "ui/settings.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QToolButton>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace tq::test {

// CRLF lines, as the server writes them.
inline std::string crlf(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\r\n";
    return text;
}

inline std::vector<std::string> worldItem(int section, int serial, int id, int x, int y, int z, int type,
                                          int color = 0) {
    return {"SECTION WORLDITEM " + std::to_string(section),
            "{",
            "SERIAL " + std::to_string(serial),
            "NAME #",
            "ID " + std::to_string(id),
            "X " + std::to_string(x),
            "Y " + std::to_string(y),
            "Z " + std::to_string(z),
            "COLOR " + std::to_string(color),
            "CONT -1",
            "TYPE " + std::to_string(type),
            "}",
            ""};
}

class MainFormTest : public ::testing::Test {
protected:
    TempDir settingsDir;
    TempDir world;
    ScriptedPrompts prompts;
    TProgressForm progressForm;
    std::unique_ptr<TMainForm> form;
    std::string staidx, statics, wsc;
    QString previousFolder = QDir::currentPath();

    void SetUp() override {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, QString::fromStdString(settingsDir.path()));
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, QString::fromStdString(settingsDir.path()));
        staidx = world.file("staidx0.mul");
        statics = world.file("statics0.mul");
        wsc = world.file("items.wsc");
    }

    void TearDown() override {
        form.reset();
        QDir::setCurrent(previousFolder);
    }

    // statics0.mul with 3 statics in block (10, 20) and 2 in block (767, 511); every
    // other entry empty. items.wsc: two TYPE 255 items in block (10, 20), one in block
    // (11, 20), one TYPE 0 item that stays.
    void makeWorld() {
        auto index = newStaticIndex();
        index->fill(TStaticIndexRec{-1, 0, 0});
        writeBytes(statics, std::string(7, '\x01'));  // a run nobody references
        TStaticBlock block;
        block.Count = 3;
        block.Records[0] = {3821, 3, 4, -5, 0};
        block.Records[1] = {1, 0, 0, 0, 33};
        block.Records[2] = {0x0EED, 7, 7, 127, 0x0102};
        WriteBlockStatics(statics, index->at(10, 20), block);
        block.Count = 2;
        block.Records[0] = {100, 7, 0, 1, 0};
        block.Records[1] = {101, 0, 7, -1, 0};
        WriteBlockStatics(statics, index->at(767, 511), block);
        SaveStaticIndex(staidx, *index);

        std::vector<std::string> lines = {"// UOX3 world save", ""};
        for (auto item : {worldItem(40, 1073741830, 500, 81, 161, 2, 255), worldItem(41, 1073741831, 501, 87, 167, 0, 0),
                          worldItem(42, 1073741832, 502, 82, 162, -3, 255, 7),
                          worldItem(43, 1073741833, 503, 88, 160, 5, 255)})
            lines.insert(lines.end(), item.begin(), item.end());
        lines.push_back("EOF");
        lines.push_back("");
        writeBytes(wsc, crlf(lines));
    }

    static void store(const char* name, const std::string& value) {
        settings::writeString(name, QString::fromStdString(value));
    }
    void storeWorldPaths() {
        store(settings::StaIdx, staidx);
        store(settings::Statics, statics);
        store(settings::WorldSave, wsc);
    }
    static void storeMode(int mode) { settings::writeInt(settings::Mode, mode); }

    void start() {
        form = std::make_unique<TMainForm>();
        form->setProgramFolder(QString::fromStdString(world.path()));
        form->show();
    }

    template <typename T>
    T* child(const char* name) const {
        T* widget = form->findChild<T*>(name);
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    QLineEdit* edit(const char* name) const { return child<QLineEdit>(name); }
    QPushButton* button(const char* name) const { return child<QPushButton>(name); }
    bool enabled(const char* name) const { return child<QWidget>(name)->isEnabled(); }

    QStringList logLines() const { return child<LogList>("LogListBox")->lines(); }
    QStringList mainLines() const { return child<LogList>("MainListBox")->lines(); }
    QStringList guidance(int step) const {
        QStringList out;
        for (const std::string& line : guidanceLines(step)) out << QString::fromStdString(line);
        return out;
    }

    QString status() const { return child<QLabel>("lblStatus")->text(); }
    QColor statusColour() const { return child<QLabel>("lblStatus")->palette().color(QPalette::Window); }
    void expectReady() const {
        EXPECT_EQ(status(), "READY");
        EXPECT_EQ(statusColour(), QColor(0, 128, 0));
    }

    void loadIndex() {
        ASSERT_TRUE(enabled("GetStaticIndexButton"));
        button("GetStaticIndexButton")->click();
        ASSERT_TRUE(form->indexLoaded()) << prompts.errors().join("; ").toStdString();
    }
};

} // namespace tq::test
