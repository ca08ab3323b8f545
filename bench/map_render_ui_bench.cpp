// The map editor's drawing and painting speed: a full repaint of a 1920 x 1080 view at
// the start zoom (45 px) and the smallest (5 px), with the tile picture cache warm and
// cold, and a 3-cell brush stroke across 100 cells.
#include "core/file_system.h"
#include "core/map_file.h"
#include "core/world.h"
#include "mapedit/draw_grid_view.h"
#include "mapedit/map_edit_form.h"
#include "mapedit/map_edit_history.h"
#include "mapedit/map_painting.h"
#include "mapedit/map_render_view.h"
#include "mapedit/tile_pictures_view.h"

#include <QApplication>
#include <QComboBox>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QSettings>
#include <QSpinBox>
#include <QStandardPaths>
#include <benchmark/benchmark.h>
#include <filesystem>
#include <random>

namespace {

using namespace tq;

// A full-size map with tiles spread over a few hundred ids, made once per run.
struct World {
    std::filesystem::path dir;
    std::string map;
    World() {
        dir = std::filesystem::temp_directory_path() / "tq-map-render-bench";
        std::filesystem::create_directories(dir);
        map = (dir / "map0.mul").string();
        if (fileExists(map) && fileSystem().fileSize(map) == MapFileSize) return;
        auto f = openFile(map, OpenMode::Create);
        std::mt19937 rng(42);
        std::vector<uint8_t> column(MapColumnBytes);
        for (int bx = 0; bx < BlocksX; ++bx) {
            for (size_t i = 0; i < column.size(); ++i) column[i] = uint8_t(rng());
            for (int by = 0; by < BlocksY; ++by)
                for (int c = 0; c < CellsPerBlock; ++c) {
                    uint8_t* cell = column.data() + by * MapBlockSize + MapBlockHeaderSize + c * MapCellSize;
                    const uint16_t tile = uint16_t(rng() % 400);
                    cell[0] = uint8_t(tile);
                    cell[1] = uint8_t(tile >> 8);
                }
            f->write(column.data(), column.size());
        }
        f->close();
    }
};

World& world() {
    static World w;
    return w;
}

// A 64 x 64 picture per tile, converted from 15-bit colour as the real loader's are.
QImage texturePicture(uint16_t id) {
    QImage img(64, 64, QImage::Format_RGB32);
    for (int y = 0; y < 64; ++y) {
        auto* row = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < 64; ++x) {
            const uint16_t v = uint16_t(id * 97 + x * 3 + y * 5) & 0x7FFF;
            auto widen = [](int c) { return (c * 255 + 15) / 31; };
            row[x] = qRgb(widen((v >> 10) & 31), widen((v >> 5) & 31), widen(v & 31));
        }
    }
    return img;
}

void renderView(benchmark::State& state, bool warm) {
    const int zoom = int(state.range(0));
    auto map = openFile(world().map, OpenMode::ReadWrite);
    TilePictureCache pictures;
    pictures.setLoader(&texturePicture);
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
            state.PauseTiming();
            pictures.clear();
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
    const auto client = world().dir / "client";
    std::filesystem::create_directories(client);
    for (const char* name : {"texidx.mul", "texmaps.mul", "artidx.mul", "art.mul"})
        if (!fileExists((client / name).string())) openFile((client / name).string(), OpenMode::Create)->close();
    QSettings("Brannock", "Terraquill").setValue("UOPath", QString::fromStdString(client.string()));
    TTQMapEditForm form;
    form.setTilePictureLoader([](const std::string&, uint16_t id) { return texturePicture(id); });
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
