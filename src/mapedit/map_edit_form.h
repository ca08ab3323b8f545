#pragma once
#include "mapedit/map_edit_history.h"
#include "mapedit/map_painting.h"
#include "mapedit/map_renderer.h"
#include "core/radar_colours.h"
#include "mapedit/tile_picture_cache.h"

#include <QMainWindow>
#include <functional>
#include <memory>
#include <string>

class QButtonGroup;
class QComboBox;
class QDockWidget;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace tq {

class DrawGridView;
class MinimapView;
class File;
class TileImageLoader;

// The map editor: the map as a zoomable grid of tile pictures painted straight into
// map0.mul, the tile list, and the region copy. Modeless; the main window shows it.
class TTQMapEditForm : public QMainWindow {
    Q_OBJECT
public:
    explicit TTQMapEditForm(QWidget* parent = nullptr);
    ~TTQMapEditForm() override;

    // Where tile pictures come from: full size, 32-bit. The default reads the client
    // folder's texture and art files; tests and tools may put another in.
    using TilePictureLoader = std::function<QImage(const std::string& clientFolder, uint16_t id)>;
    void setTilePictureLoader(TilePictureLoader loader);

    bool CheckMapEditPaths();
    void UpdateMapEditStatus();
    QString statusText(int panel) const;
    const WorldGeometry& world() const { return world_; }
    QString worldText() const;
    int cellSize() const { return cellSize_; }
    const MapEditHistory& history() const { return history_; }
    const TilePictureCache& pictures() const { return pictures_; }
    // The overview of the open map in its dock, and how long its last full build took.
    const MinimapView& minimap() const { return *Minimap; }
    qint64 minimapBuildMilliseconds() const { return minimapBuildMs_; }

    // The handlers, public so that the main window and tests can reach them by name.
    void FormShow();
    void MapEditChange();
    void UOPathEditChange();
    void BitBtn1Click();
    void BitBtn2Click();
    void GridBoxClick();
    void ShowAltitudeRadioGroupClick();
    void CoordGoBtnClick();
    void Button3Click();
    void APPENDClick();
    void ZValueEditChange();
    void TextureDrawGridClick(int row);
    void MainDrawGridSelectCell(int col, int row);
    void MainDrawGridKeyDown(QKeyEvent* event);
    void MainDrawGridMouseMove(const QPoint& pos);
    void eXit1Click();
    // "Choose game folder…" (button, File menu): the dialog, then useGameFolder.
    void ChooseGameFolderClick();
    // The map of the window's facet and, when the pictures are there, the client folder,
    // from a folder chosen or dropped on the window.
    void useGameFolder(const QString& folder);
    void Undo();
    void Redo();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    void LoadMapEditPaths(QString& mapPath, QString& clientFolder);
    void SaveMapEditPaths(const QString& mapPath, const QString& clientFolder);
    void openMapFile(const std::string& path);
    // The grid, its scroll range and the status bar follow the open map's world.
    void showWorld();
    File& mapFile();
    PaintSettings paintSettings() const;
    int zValue() const;
    void renderMapCells(QPainter& p, int c0, int r0, int c1, int r1);
    void renderTileRows(QPainter& p, int r0, int r1);
    // Paints one cell as the user asked and records its old bytes for undo.
    void paintCellAndRecord(int x, int y);
    void zoomBy(int step);
    void toggleFileNamePanel();
    // The region copy of the advanced panel, from its eight coordinate boxes.
    void copyRegionOfTheBoxes();
    QImage loadTilePicture(uint16_t id);
    // Errors of drawing and of the status line: shown once, after the paint is over, and
    // not again until the paths change, so a broken file cannot loop on repaint.
    void reportPassiveError();
    // The minimap: built when the map or its radarcol.mul changes (or `rebuild`), one pixel
    // redrawn where a cell is painted, its frame kept on the grid's view.
    void refreshMinimap(bool rebuild = false);
    void updateMinimapCell(int x, int y);
    void updateMinimapFrame();
    void centreViewOn(int x, int y);

    // Controls, named as the user and the tests know them.
    QLineEdit* BrushSizeEdt;
    QSpinBox* BrushSizeMover;
    QPushButton* BitBtn1;
    QPushButton* BitBtn2;
    QPushButton* MapEditCloseBtn;
    QPushButton* ChooseGameFolderButton;
    QGroupBox* GridBox;
    QButtonGroup* gridButtons;
    QGroupBox* ShowAltitudeRadioGroup;
    QButtonGroup* showAltitudeButtons;
    QLineEdit* XJumpEdit;
    QLineEdit* YJumpEdit;
    QPushButton* CoordGoBtn;
    DrawGridView* MainDrawGrid;
    DrawGridView* TextureDrawGrid;
    QGroupBox* AltitudeRadioGroup;
    QButtonGroup* altitudeButtons;
    QLineEdit* ZValueEdit;
    QSpinBox* XValueUpDown;
    QComboBox* SelectDrawingModeComboBox;
    QWidget* FileNamePanel;
    QLineEdit* MapEdit;
    QLineEdit* UOPathEdit;
    QPushButton* Button3;
    QWidget* advancedRows;
    QLineEdit* MapEditSource;
    QLineEdit* MapEditDestination;
    QLineEdit *SFX, *SFY, *STX, *STY, *DFX, *DFY, *DTX, *DTY;
    QPushButton* APPEND;
    QLabel* statusPanels[2];
    QLabel* worldPanel;  // the open map's facet and size
    QDockWidget* MinimapDock;
    MinimapView* Minimap;

    std::unique_ptr<File> map_;
    WorldGeometry world_;  // of the open map (the old clients' world until one opens)
    std::string mapOpenError_;
    std::string historyPath_;
    bool mapChanged_ = false;
    bool clientFolderChanged_ = false;
    int pointerX_ = 0, pointerY_ = 0;
    bool skipNextSelect_ = false;
    bool paintingSuspended_ = false;
    uint16_t selectedTile_ = 0;
    int cellSize_ = 45;
    bool centred_ = false;
    bool passiveErrorShown_ = false;

    MapEditHistory history_;
    TilePictureCache pictures_;
    MapRenderer renderer_;
    TilePictureLoader tileLoader_;
    std::unique_ptr<TileImageLoader> clientPictures_;
    RadarColours radarColours_;
    std::string minimapKey_;  // the map, radarcol.mul and world the minimap shows
    qint64 minimapBuildMs_ = 0;
};

} // namespace tq
