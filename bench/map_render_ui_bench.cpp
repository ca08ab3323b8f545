// The map editor's drawing and painting speed: a full repaint of a 1920 x 1080 view at
// the start zoom (45 px) and the smallest (5 px), with the tile picture cache warm and
// cold, and a 3-cell brush stroke across 100 cells.
#include "core/file_system.h"
#include "core/map_file.h"
#include "tools/synthetic_world.h"
#include "core/world.h"
#include "mapedit/draw_grid_view.h"
#include "mapedit/map_edit_form.h"
#include "mapedit/map_edit_history.h"
#include "mapedit/map_painting.h"
#include "mapedit/map_renderer.h"
#include "mapedit/tile_image.h"
#include "mapedit/tile_picture_cache.h"

#include <QApplication>
#include <QComboBox>
#include <QImage>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QSettings>
#include <QSpinBox>
#include <QStandardPaths>
#include <benchmark/benchmark.h>
#include <chrono>
#include <filesystem>

namespace {

using namespace tq;

// The demo world of `terraquill-cli mkworld`: a full-size map with varied land tiles and
// client picture files for every tile it uses. Made once per run.
struct World {
    std::filesystem::path dir;
    std::string map;
    World() {
        dir = std::filesystem::temp_directory_path() / "tq-map-render-bench";
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        makeSyntheticWorld(dir.string(), 10);
        map = (dir / "map0.mul").string();
    }
};

World& world() {
    static World w;
    return w;
}

// The pictures as the window loads them: the core loader over the client files, then
// widened to 32-bit colour.
struct ClientPictures {
    TileImageLoader loader{world().dir.string()};
    QImage operator()(uint16_t id) { return tileImageToQImage(loader.tile(id)); }
};

void renderView(benchmark::State& state, bool warm) {
    const int zoom = int(state.range(0));
    auto map = openFile(world().map, OpenMode::ReadWrite);
    auto client = std::make_unique<ClientPictures>();
    TilePictureCache pictures;
    pictures.setLoader([&](uint16_t id) { return (*client)(id); });
    MapRenderer renderer;
    MapRenderOptions options;
    options.cellSize = zoom;
    QImage target(1920, 1080, QImage::Format_RGB32);
    const CellRect cells{2000, 1500, 2000 + (1920 + zoom - 1) / zoom - 1, 1500 + (1080 + zoom - 1) / zoom - 1};
    if (warm) {
        QPainter p(&target);
        renderer.render(p, QPoint(0, 0), cells, map.get(), pictures, options);
    }
    for (auto _ : state) {
        if (!warm) {
            // Cold: no pictures kept, and the client files opened afresh on first use.
            state.PauseTiming();
            pictures.clear();
            client = std::make_unique<ClientPictures>();
            state.ResumeTiming();
        }
        QPainter p(&target);
        renderer.render(p, QPoint(0, 0), cells, map.get(), pictures, options);
    }
    state.counters["cells"] = double(cells.cellCount());
    state.counters["pictures"] = double(pictures.count());
}

void BM_RenderWarm(benchmark::State& state) { renderView(state, true); }
void BM_RenderCold(benchmark::State& state) { renderView(state, false); }
BENCHMARK(BM_RenderWarm)->Arg(45)->Arg(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RenderCold)->Arg(45)->Arg(5)->Unit(benchmark::kMillisecond);

// The painting itself: 100 brush applications of size 3 along a row, each cell read and
// written straight to the file and remembered for undo.
void BM_BrushStrokeCore(benchmark::State& state) {
    auto map = openFile(world().map, OpenMode::ReadWrite);
    PaintSettings s;
    s.drawingMode = drawmode::FirstGroup + 6;
    s.altitudeMode = AltitudeMode::Add;
    s.z = 1;
    s.brushSize = 3;
    MapEditHistory history;
    for (auto _ : state) {
        history.beginStep();
        for (int i = 0; i < 100; ++i)
            for (const CellPos& p : brushCells(3000 + i, 2000, 3)) history.recordCell(p.x, p.y, PaintMapCell(*map, p.x, p.y, s));
        history.endStep();
    }
}
BENCHMARK(BM_BrushStrokeCore)->Unit(benchmark::kMillisecond);

// The same stroke as the user makes it: a drag over 100 cells in the window at zoom 5,
// with the repaint of the view at the end.
void BM_BrushStrokeWindow(benchmark::State& state) {
    QSettings("Brannock", "Terraquill").setValue("Map0.mul", QString::fromStdString(world().map));
    QSettings("Brannock", "Terraquill").setValue("UOPath", QString::fromStdString(world().dir.string()));
    TTQMapEditForm form;
    form.resize(1920, 1080);
    form.show();
    for (int i = 0; i < 19; ++i) form.BitBtn2Click();  // 45 -> 5 px cells
    form.findChild<QComboBox*>("SelectDrawingModeComboBox")->setCurrentIndex(drawmode::FirstGroup + 6);
    form.findChild<QSpinBox*>("BrushSizeMover")->setValue(3);
    auto* grid = form.findChild<DrawGridView*>("MainDrawGrid");
    QWidget* vp = grid->viewport();
    QApplication::processEvents();
    auto send = [&](QEvent::Type type, QPoint pos, Qt::MouseButtons buttons) {
        QMouseEvent e(type, QPointF(pos), vp->mapToGlobal(QPointF(pos)),
                      type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons, Qt::NoModifier);
        QApplication::sendEvent(vp, &e);
    };
    for (auto _ : state) {
        send(QEvent::MouseButtonPress, grid->cellRect(2, 10).center(), Qt::LeftButton);
        for (int i = 1; i < 100; ++i) send(QEvent::MouseMove, grid->cellRect(2 + i, 10).center(), Qt::LeftButton);
        send(QEvent::MouseButtonRelease, grid->cellRect(101, 10).center(), Qt::NoButton);
        vp->repaint();
    }
    form.close();
}
BENCHMARK(BM_BrushStrokeWindow)->Unit(benchmark::kMillisecond);

// The map editor window at 1920 x 1080 on the full-size map, zoomed out `zoomOutSteps`
// times from the start (19: the smallest cells).
struct EditorWindow {
    TTQMapEditForm form;
    DrawGridView* grid;
    explicit EditorWindow(int zoomOutSteps) {
        QSettings("Brannock", "Terraquill").setValue("Map0.mul", QString::fromStdString(world().map));
        QSettings("Brannock", "Terraquill").setValue("UOPath", QString::fromStdString(world().dir.string()));
        form.resize(1920, 1080);
        form.show();
        for (int i = 0; i < zoomOutSteps; ++i) form.BitBtn2Click();
        grid = form.findChild<DrawGridView*>("MainDrawGrid");
        QApplication::processEvents();
    }
    ~EditorWindow() { form.close(); }
};

// "Go" to a far coordinate and back, each shown: the jump's own cost is the repaint there.
void BM_JumpFarWindow(benchmark::State& state) {
    EditorWindow w(0);
    auto* x = w.form.findChild<QLineEdit*>("XJumpEdit");
    auto* y = w.form.findChild<QLineEdit*>("YJumpEdit");
    bool far = true;
    for (auto _ : state) {
        x->setText(far ? "7000" : "10");
        y->setText(far ? "4000" : "10");
        w.form.CoordGoBtnClick();
        w.grid->viewport()->repaint();
        far = !far;
    }
}
BENCHMARK(BM_JumpFarWindow)->Unit(benchmark::kMillisecond);

// Scrolling a full-width row at the smallest zoom: the view moved one screen to the right
// at a time across the whole width of the map, each step painted.
void BM_ScrollFullRowWindow(benchmark::State& state) {
    EditorWindow w(19);
    QScrollBar* bar = w.grid->horizontalScrollBar();
    int screens = 0;
    double ms = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        for (int v = 0; v <= bar->maximum(); v += bar->pageStep(), ++screens) {
            bar->setValue(v);
            w.grid->viewport()->repaint();
        }
        ms += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        bar->setValue(0);
    }
    state.counters["screens"] = double(screens) / double(state.iterations());
    state.counters["ms_per_screen"] = ms / screens;
}
BENCHMARK(BM_ScrollFullRowWindow)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);
    // The window benchmark stores paths: keep them away from the user's settings.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, QString::fromStdString((world().dir / "settings").string()));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code ec;
    std::filesystem::remove_all(world().dir, ec);
    return 0;
}
