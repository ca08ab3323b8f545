#pragma once
// Shared by the map editor's window tests: a world on disk, a form shown offscreen with
// its settings pointing there, and the user's gestures.
#include "map_fixture.h"
#include "mapedit/draw_grid_view.h"
#include "mapedit/map_edit_form.h"
#include "support/ui/scripted_prompts.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTest>
#include <QWheelEvent>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>

// Readable failures for Qt texts.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace tq::test {

// A picture per tile id that tells the ids apart by colour.
inline QColor tileColour(uint16_t id) { return QColor((id * 37) % 256, (id * 91 + 40) % 256, (id * 13 + 80) % 256); }

inline QImage fakeTilePicture(const std::string&, uint16_t id) {
    QImage img(4, 4, QImage::Format_RGB32);
    img.fill(tileColour(id));
    return img;
}

class MapEditFormTest : public ::testing::Test {
protected:
    void SetUp() override {
        // CTest runs the cases of this binary side by side: each keeps its settings in its own folder.
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, QString::fromStdString(dir.file("settings")));
        QSettings("Brannock", "Terraquill").clear();
        mapPath = makeSparseMap(dir);
        client = (dir.path() / "client").string();
        std::filesystem::create_directory(client);
        for (const char* name : {"texidx.mul", "texmaps.mul", "artidx.mul", "art.mul"})
            writeBytes(client + "/" + name, "");
    }
    void TearDown() override {
        form.reset();
        QSettings("Brannock", "Terraquill").clear();
    }

    // Stores the paths as an earlier session would have, then opens the window.
    void open(const std::string& map, const std::string& folder, bool fakePictures = true) {
        {
            QSettings store("Brannock", "Terraquill");
            store.setValue("Map0.mul", QString::fromStdString(map));
            store.setValue("UOPath", QString::fromStdString(folder));
        }
        form = std::make_unique<TTQMapEditForm>();
        if (fakePictures) form->setTilePictureLoader(&fakeTilePicture);
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
        form->activateWindow();
        QApplication::processEvents();
    }

    template <typename T>
    T* child(const char* name) {
        T* w = form->findChild<T*>(name);
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    DrawGridView* grid() { return child<DrawGridView>("MainDrawGrid"); }
    DrawGridView* tiles() { return child<DrawGridView>("TextureDrawGrid"); }
    QLineEdit* edit(const char* name) { return child<QLineEdit>(name); }
    void click(const char* buttonName) { QTest::mouseClick(child<QPushButton>(buttonName), Qt::LeftButton); }
    void choose(const char* radioName) { QTest::mouseClick(child<QRadioButton>(radioName), Qt::LeftButton, {}, QPoint(4, 4)); }
    void mode(int index) { child<QComboBox>("SelectDrawingModeComboBox")->setCurrentIndex(index); }
    void type(const char* name, const QString& text) {
        QLineEdit* e = edit(name);
        e->setFocus();
        e->selectAll();
        QTest::keyClick(e, Qt::Key_Delete);
        QTest::keyClicks(e, text);
    }

    QPoint centreOf(int c, int r) { return grid()->cellRect(c, r).center(); }

    void mouse(QEvent::Type type, QPoint pos, Qt::MouseButtons buttons) {
        QWidget* vp = grid()->viewport();
        QMouseEvent e(type, QPointF(pos), vp->mapToGlobal(QPointF(pos)),
                      type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons, Qt::NoModifier);
        QApplication::sendEvent(vp, &e);
    }
    void clickCell(int c, int r) {
        mouse(QEvent::MouseButtonPress, centreOf(c, r), Qt::LeftButton);
        mouse(QEvent::MouseButtonRelease, centreOf(c, r), Qt::NoButton);
    }
    void hover(int c, int r) { mouse(QEvent::MouseMove, centreOf(c, r), Qt::NoButton); }
    void wheel(int steps) {
        QWidget* vp = grid()->viewport();
        const QPointF pos(10, 10);
        QWheelEvent e(pos, vp->mapToGlobal(pos), QPoint(), QPoint(0, -120 * steps), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
        QApplication::sendEvent(vp, &e);
    }
    void key(int k, Qt::KeyboardModifiers mods = Qt::NoModifier) { QTest::keyClick(grid(), Qt::Key(k), mods); }

    QImage grabMap() { return grid()->viewport()->grab().toImage(); }
    QColor pixelOf(const QImage& img, int c, int r, int dx = 0, int dy = 0) {
        const QPoint p = grid()->cellRect(c, r).topLeft() + QPoint(dx, dy);
        return img.pixelColor(p);
    }

    TempDir dir;
    std::string mapPath, client;
    ScriptedPrompts scripted;
    std::unique_ptr<TTQMapEditForm> form;
};

} // namespace tq::test
