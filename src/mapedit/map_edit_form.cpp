#include "mapedit/map_edit_form.h"

#include "core/error.h"
#include "core/file_system.h"
#include "core/int_parse.h"
#include "core/map_file.h"
#include "core/random.h"
#include "core/world.h"
#include "core/world_lock.h"
#include "mapedit/client_files.h"
#include "mapedit/draw_grid_view.h"
#include "mapedit/map_edit_paths.h"
#include "mapedit/map_edit_status.h"
#include "mapedit/minimap_view.h"
#include "mapedit/overview.h"
#include "mapedit/region_copy.h"
#include "mapedit/tile_image.h"
#include "mapedit/undoable_region_copy.h"
#include "ui/game_folder_choice.h"
#include "ui/operation.h"
#include "ui/path_browse.h"
#include "ui/path_field.h"
#include "ui/prompts.h"
#include "ui/qt_text.h"
#include "ui/settings.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QComboBox>
#include <QDockWidget>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>
#include <QSpinBox>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdlib>

namespace tq {

namespace {

constexpr int MinCellSize = 5;
constexpr int MaxCellSize = 100;
constexpr int ZoomStep = 5;
constexpr int TileRowSize = 64;
constexpr int PanelCollapsed = 30;
constexpr int PanelStart = 31;
constexpr int PanelExpanded = 84;
const char* const AppTitle = "CustomTerraquill";
// The minimap's picture is at most this many pixels along its longer side.
constexpr int MinimapLongestSide = 512;
const QSize MinimapStartSize(260, 200);
const char* const NoMapForMinimap = "No map open: nothing to show";
const char* const NoRadarColours = "No radarcol.mul beside the map or in the client folder: the overview needs its colours";

// The scale that fits a world into the minimap's picture.
int minimapScale(const WorldGeometry& world) {
    const int longest = std::max(world.cellsWide(), world.cellsHigh());
    return std::max(1, (longest + MinimapLongestSide - 1) / MinimapLongestSide);
}

// Path boxes carry their validity in their background colour.
void setValidColour(QLineEdit* box, bool valid) { setFieldColour(box, valid ? FieldColour::Green : FieldColour::Red); }
bool isGreen(const QLineEdit* box) { return fieldColour(box) == FieldColour::Green; }


QGroupBox* radioGroup(const QString& name, const QString& title, const QStringList& items, int columns,
                      QButtonGroup*& buttons, QWidget* parent) {
    auto* box = new QGroupBox(title, parent);
    box->setObjectName(name);
    auto* layout = new QGridLayout(box);
    layout->setContentsMargins(4, 2, 4, 2);
    layout->setSpacing(2);
    buttons = new QButtonGroup(box);
    for (int i = 0; i < items.size(); ++i) {
        auto* radio = new QRadioButton(items[i], box);
        radio->setObjectName(name + "_" + QString::number(i));
        buttons->addButton(radio, i);
        layout->addWidget(radio, i / columns, i % columns);
    }
    return box;
}

QLineEdit* lineEdit(const QString& name, const QString& text, QWidget* parent) {
    auto* e = new QLineEdit(text, parent);
    e->setObjectName(name);
    return e;
}

QPushButton* button(const QString& name, const QString& text, QWidget* parent) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(name);
    return b;
}

QString currentExceptionText() {
    try {
        throw;
    } catch (const std::exception& e) {
        return QString::fromLocal8Bit(e.what());
    } catch (...) {
        return QStringLiteral("Unknown error");
    }
}

} // namespace

TTQMapEditForm::TTQMapEditForm(QWidget* parent) : QMainWindow(parent) {
    setObjectName("TTQMapEditForm");
    setWindowTitle("MapEdit");
    QFont f = font();
    f.setPointSize(8);
    setFont(f);
    resize(712, 586);
    buildControls();
    pictures_.setLoader([this](uint16_t id) { return loadTilePicture(id); });
}

TTQMapEditForm::~TTQMapEditForm() = default;

void TTQMapEditForm::buildControls() {
    // Menu.
    QMenu* file = menuBar()->addMenu("&File");
    QAction* chooseFolder = file->addAction(ChooseGameFolderCaption);
    chooseFolder->setObjectName("ChooseGameFolder1");
    connect(chooseFolder, &QAction::triggered, this, [this] { guarded(this, [this] { ChooseGameFolderClick(); }); });
    QAction* import = file->addAction("Import");
    import->setObjectName("Import1");
    QAction* exitAction = file->addAction("e&Xit");
    exitAction->setObjectName("eXit1");
    connect(exitAction, &QAction::triggered, this, [this] { guarded(this, [this] { eXit1Click(); }); });

    // Undo and redo of painting: not in the menu, on the usual keys.
    auto* undo = new QAction("Undo", this);
    undo->setObjectName("UndoAction");
    undo->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    undo->setShortcutContext(Qt::WindowShortcut);
    connect(undo, &QAction::triggered, this, [this] { Undo(); });
    addAction(undo);
    auto* redo = new QAction("Redo", this);
    redo->setObjectName("RedoAction");
    redo->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});
    redo->setShortcutContext(Qt::WindowShortcut);
    connect(redo, &QAction::triggered, this, [this] { Redo(); });
    addAction(redo);

    auto* central = new QWidget(this);
    setCentralWidget(central);
    auto* outer = new QVBoxLayout(central);
    outer->setContentsMargins(2, 2, 2, 0);
    outer->setSpacing(2);

    // Top bar.
    auto* top = new QHBoxLayout;
    auto* brushBox = new QGroupBox("Brush Size", central);
    auto* brushLayout = new QHBoxLayout(brushBox);
    brushLayout->setContentsMargins(4, 2, 4, 2);
    BrushSizeEdt = lineEdit("BrushSizeEdt", "1", brushBox);
    BrushSizeEdt->setReadOnly(true);
    BrushSizeEdt->setFixedWidth(28);
    BrushSizeMover = new QSpinBox(brushBox);
    BrushSizeMover->setObjectName("BrushSizeMover");
    BrushSizeMover->setRange(1, 3);
    BrushSizeMover->setValue(1);
    BrushSizeMover->setFixedWidth(20);  // the arrows only; the number shows in the box
    brushLayout->addWidget(BrushSizeEdt);
    brushLayout->addWidget(BrushSizeMover);
    top->addWidget(brushBox);
    ChooseGameFolderButton = button("ChooseGameFolderButton", ChooseGameFolderCaption, central);
    ChooseGameFolderButton->setToolTip("Fill in the map and the client folder from the folder of your game");
    top->addWidget(ChooseGameFolderButton, 0, Qt::AlignBottom);
    top->addStretch(1);
    auto* zoomBox = new QGroupBox("Zoom", central);
    auto* zoomLayout = new QHBoxLayout(zoomBox);
    zoomLayout->setContentsMargins(4, 2, 4, 2);
    BitBtn2 = button("BitBtn2", "-", zoomBox);
    BitBtn1 = button("BitBtn1", "+", zoomBox);
    BitBtn2->setToolTip("Zoom out");
    BitBtn1->setToolTip("Zoom in");
    zoomLayout->addWidget(BitBtn2);
    zoomLayout->addWidget(BitBtn1);
    top->addWidget(zoomBox);
    MapEditCloseBtn = button("MapEditCloseBtn", "Close", central);
    top->addWidget(MapEditCloseBtn);
    outer->addLayout(top);

    // Middle band: left column, map, tile list.
    auto* middle = new QHBoxLayout;
    auto* left = new QVBoxLayout;
    left->addStretch(1);
    auto* coords = new QGroupBox("Coords", central);
    coords->setObjectName("CoordsGroup");
    auto* coordsLayout = new QGridLayout(coords);
    coordsLayout->setContentsMargins(4, 2, 4, 2);
    XJumpEdit = lineEdit("XJumpEdit", "", coords);
    YJumpEdit = lineEdit("YJumpEdit", "", coords);
    XJumpEdit->setFixedWidth(48);
    YJumpEdit->setFixedWidth(48);
    CoordGoBtn = button("CoordGoBtn", "Go", coords);
    coordsLayout->addWidget(new QLabel("X", coords), 0, 0);
    coordsLayout->addWidget(XJumpEdit, 0, 1);
    coordsLayout->addWidget(new QLabel("Y", coords), 1, 0);
    coordsLayout->addWidget(YJumpEdit, 1, 1);
    coordsLayout->addWidget(CoordGoBtn, 2, 0, 1, 2);
    left->addWidget(coords);
    ShowAltitudeRadioGroup = radioGroup("ShowAltitudeRadioGroup", "Altitude", {"On", "Off"}, 1, showAltitudeButtons, central);
    showAltitudeButtons->button(1)->setChecked(true);
    left->addWidget(ShowAltitudeRadioGroup);
    GridBox = radioGroup("GridBox", "Grid", {"On", "Off"}, 1, gridButtons, central);
    gridButtons->button(1)->setChecked(true);
    left->addWidget(GridBox);
    middle->addLayout(left);

    MainDrawGrid = new DrawGridView(world_.cellsWide(), world_.cellsHigh(), central);
    MainDrawGrid->setObjectName("MainDrawGrid");
    MainDrawGrid->setCellSize(cellSize_, cellSize_);
    MainDrawGrid->setGridLineWidth(0);
    middle->addWidget(MainDrawGrid, 1);

    TextureDrawGrid = new DrawGridView(1, 4096, central);
    TextureDrawGrid->setObjectName("TextureDrawGrid");
    TextureDrawGrid->setCellSize(TileRowSize, TileRowSize);
    TextureDrawGrid->setGridLineWidth(1);
    TextureDrawGrid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    TextureDrawGrid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    TextureDrawGrid->setFixedWidth(TileRowSize + 1 + 2 * TextureDrawGrid->frameWidth() +
                                   TextureDrawGrid->verticalScrollBar()->sizeHint().width());
    middle->addWidget(TextureDrawGrid);
    outer->addLayout(middle, 1);

    // Bottom bar.
    auto* bottom = new QHBoxLayout;
    AltitudeRadioGroup = radioGroup("AltitudeRadioGroup", "Modify the altitude", {"Add Z", "Subtr Z", "Set to Z"}, 3,
                                    altitudeButtons, central);
    altitudeButtons->button(2)->setChecked(true);
    bottom->addWidget(AltitudeRadioGroup);
    bottom->addWidget(new QLabel("Z (altitude) =", central));
    ZValueEdit = lineEdit("ZValueEdit", "0", central);
    ZValueEdit->setFixedWidth(40);
    bottom->addWidget(ZValueEdit);
    XValueUpDown = new QSpinBox(central);
    XValueUpDown->setObjectName("XValueUpDown");
    XValueUpDown->setRange(-128, 127);
    XValueUpDown->setValue(0);
    XValueUpDown->setWrapping(false);
    XValueUpDown->setFixedWidth(20);
    bottom->addWidget(XValueUpDown);
    bottom->addStretch(1);
    bottom->addWidget(new QLabel("Select mode", central));
    SelectDrawingModeComboBox = new QComboBox(central);
    SelectDrawingModeComboBox->setObjectName("SelectDrawingModeComboBox");
    SelectDrawingModeComboBox->setMaxVisibleItems(16);
    // FormCreate: the fixed modes and the 42 groups, once.
    for (const std::string& name : drawingModeNames()) SelectDrawingModeComboBox->addItem(QString::fromStdString(name));
    bottom->addWidget(SelectDrawingModeComboBox);
    outer->addLayout(bottom);

    // File-name panel; the copy tool shows when it is expanded.
    FileNamePanel = new QWidget(central);
    FileNamePanel->setObjectName("FileNamePanel");
    FileNamePanel->setFixedHeight(PanelStart);
    auto* panel = new QVBoxLayout(FileNamePanel);
    panel->setContentsMargins(0, 0, 0, 0);
    panel->setSpacing(2);
    auto* paths = new QHBoxLayout;
    paths->addWidget(new QLabel("Map0.mul", FileNamePanel));
    MapEdit = lineEdit("MapEdit", "", FileNamePanel);
    paths->addWidget(withBrowseButton(MapEdit, pathKindFilter(PathKind::Map)), 1);
    paths->addWidget(new QLabel("TexIdx.mul, TexMaps.mul, ArtIdx.mul and Art.mul", FileNamePanel));
    UOPathEdit = lineEdit("UOPathEdit", "", FileNamePanel);
    paths->addWidget(withFolderBrowseButton(UOPathEdit), 1);
    Button3 = button("Button3", "Advanced...", FileNamePanel);
    paths->addWidget(Button3);
    panel->addLayout(paths);
    advancedRows = new QWidget(FileNamePanel);
    auto* adv = new QGridLayout(advancedRows);
    adv->setContentsMargins(0, 0, 0, 0);
    adv->setVerticalSpacing(2);
    auto addCorners = [&](int row, const QString& label, QLineEdit*& path, const QString& pathName,
                          QLineEdit** boxes, const char* const* names, bool greenText) {
        adv->addWidget(new QLabel(label, advancedRows), row, 0);
        path = lineEdit(pathName, pathName, advancedRows);
        adv->addWidget(withBrowseButton(path, pathKindFilter(PathKind::Map)), row, 1);
        const char* labels[4] = {"X1", "Y1", "X2", "Y2"};
        for (int i = 0; i < 4; ++i) {
            adv->addWidget(new QLabel(labels[i], advancedRows), row, 2 + 2 * i);
            boxes[i] = lineEdit(names[i], "0", advancedRows);
            boxes[i]->setFixedWidth(44);
            if (greenText) {
                QPalette pal = boxes[i]->palette();
                pal.setColor(QPalette::Text, FieldGreen);
                boxes[i]->setPalette(pal);
            }
            adv->addWidget(boxes[i], row, 3 + 2 * i);
        }
    };
    QLineEdit* source[4];
    QLineEdit* dest[4];
    const char* sourceNames[4] = {"SFX", "SFY", "STX", "STY"};
    const char* destNames[4] = {"DFX", "DFY", "DTX", "DTY"};
    addCorners(0, "Sourcemap", MapEditSource, "MapEditSource", source, sourceNames, false);
    addCorners(1, "Destinationmap", MapEditDestination, "MapEditDestination", dest, destNames, true);
    SFX = source[0], SFY = source[1], STX = source[2], STY = source[3];
    DFX = dest[0], DFY = dest[1], DTX = dest[2], DTY = dest[3];
    APPEND = button("APPEND", "Copy Map", advancedRows);
    adv->addWidget(APPEND, 0, 10, 2, 1);
    adv->setColumnStretch(1, 1);
    advancedRows->setVisible(false);
    panel->addWidget(advancedRows);
    outer->addWidget(FileNamePanel);

    // Status bar: two panels, half the width each.
    QStatusBar* bar = statusBar();
    bar->setObjectName("StatusBar");
    bar->setSizeGripEnabled(false);
    for (int i = 0; i < 2; ++i) {
        statusPanels[i] = new QLabel(bar);
        statusPanels[i]->setObjectName(QString("StatusBarPanel%1").arg(i));
        statusPanels[i]->setMinimumWidth(1);
        bar->addWidget(statusPanels[i], 1);
    }
    worldPanel = new QLabel(bar);
    worldPanel->setObjectName("StatusBarWorld");
    bar->addPermanentWidget(worldPanel);

    // The minimap starts floating beside the window: docked, it would take its room from the
    // grid. The user may dock it on any side, or close it.
    MinimapDock = new QDockWidget("Overview", this);
    MinimapDock->setObjectName("MinimapDock");
    Minimap = new MinimapView(MinimapDock);
    Minimap->setObjectName("Minimap");
    Minimap->setMessage(NoMapForMinimap);
    MinimapDock->setWidget(Minimap);
    addDockWidget(Qt::RightDockWidgetArea, MinimapDock);
    MinimapDock->setFloating(true);
    MinimapDock->resize(MinimapStartSize);

    // Wiring: every handler runs guarded, so an error shows in a box and the window stays usable.
    auto g = [this](auto fn) { return [this, fn] { guarded(this, [&] { (this->*fn)(); }); }; };
    connect(MapEditCloseBtn, &QPushButton::clicked, this, g(&TTQMapEditForm::eXit1Click));
    connect(BitBtn1, &QPushButton::clicked, this, g(&TTQMapEditForm::BitBtn1Click));
    connect(BitBtn2, &QPushButton::clicked, this, g(&TTQMapEditForm::BitBtn2Click));
    connect(gridButtons, &QButtonGroup::idClicked, this, g(&TTQMapEditForm::GridBoxClick));
    connect(showAltitudeButtons, &QButtonGroup::idClicked, this, g(&TTQMapEditForm::ShowAltitudeRadioGroupClick));
    connect(CoordGoBtn, &QPushButton::clicked, this, g(&TTQMapEditForm::CoordGoBtnClick));
    connect(Button3, &QPushButton::clicked, this, g(&TTQMapEditForm::Button3Click));
    connect(ChooseGameFolderButton, &QPushButton::clicked, this, g(&TTQMapEditForm::ChooseGameFolderClick));
    // A folder dropped anywhere on the window is a chosen game folder.
    acceptWindowDrops(
        this, [](const QString& path) { return QFileInfo(path).isDir(); },
        [this](const QString& path, QPoint) { useGameFolder(path); });
    connect(APPEND, &QPushButton::clicked, this, g(&TTQMapEditForm::APPENDClick));
    connect(MapEdit, &QLineEdit::textChanged, this, g(&TTQMapEditForm::MapEditChange));
    connect(MapEditSource, &QLineEdit::textChanged, this, g(&TTQMapEditForm::MapEditChange));
    connect(MapEditDestination, &QLineEdit::textChanged, this, g(&TTQMapEditForm::MapEditChange));
    connect(UOPathEdit, &QLineEdit::textChanged, this, g(&TTQMapEditForm::UOPathEditChange));
    connect(ZValueEdit, &QLineEdit::textChanged, this, g(&TTQMapEditForm::ZValueEditChange));
    connect(XValueUpDown, &QSpinBox::valueChanged, this, [this](int v) {
        if (zValue() != v) ZValueEdit->setText(QString::number(v));
    });
    connect(altitudeButtons, &QButtonGroup::idClicked, this, g(&TTQMapEditForm::UpdateMapEditStatus));
    connect(SelectDrawingModeComboBox, &QComboBox::currentIndexChanged, this,
            g(&TTQMapEditForm::UpdateMapEditStatus));
    connect(BrushSizeMover, &QSpinBox::valueChanged, this,
            [this](int v) { BrushSizeEdt->setText(QString::number(v)); });

    MainDrawGrid->renderCells = [this](QPainter& p, int c0, int r0, int c1, int r1) { renderMapCells(p, c0, r0, c1, r1); };
    MainDrawGrid->selectCell = [this](int c, int r) { MainDrawGridSelectCell(c, r); };
    MainDrawGrid->keyDown = [this](QKeyEvent* e) { MainDrawGridKeyDown(e); };
    MainDrawGrid->pointerMoved = [this](const QPoint& p) { MainDrawGridMouseMove(p); };
    MainDrawGrid->dragStarted = [this] { history_.beginStep(); };
    MainDrawGrid->dragEnded = [this] { history_.endStep(); };
    TextureDrawGrid->renderCells = [this](QPainter& p, int, int r0, int, int r1) { renderTileRows(p, r0, r1); };
    Minimap->moveTo = [this](int x, int y) { guarded(this, [&] { centreViewOn(x, y); }); };
    for (QScrollBar* bar : {MainDrawGrid->horizontalScrollBar(), MainDrawGrid->verticalScrollBar()}) {
        connect(bar, &QScrollBar::valueChanged, this, [this] { updateMinimapFrame(); });
        connect(bar, &QScrollBar::rangeChanged, this, [this] { updateMinimapFrame(); });
    }
    TextureDrawGrid->clicked = [this](int, int r) { guarded(this, [&] { TextureDrawGridClick(r); }); };
}

void TTQMapEditForm::setTilePictureLoader(TilePictureLoader loader) {
    tileLoader_ = std::move(loader);
    pictures_.clear();
    MainDrawGrid->invalidateGrid();
    TextureDrawGrid->invalidateGrid();
}

QImage TTQMapEditForm::loadTilePicture(uint16_t id) {
    const std::string folder = str(UOPathEdit->text());
    if (tileLoader_) return tileLoader_(folder, id);
    // One loader per client folder keeps the picture files open between tiles.
    if (!clientPictures_ || clientPictures_->clientFolder() != folder)
        clientPictures_ = std::make_unique<TileImageLoader>(folder);
    return tileImageToQImage(clientPictures_->tile(id));
}

// ---- settings and the open map file ------------------------------------------------

void TTQMapEditForm::LoadMapEditPaths(QString& mapPath, QString& clientFolder) {
    mapPath = settings::readString(settings::Map);
    clientFolder = settings::readString(settings::ClientFolder);
    XJumpEdit->setText(settings::readString(settings::CoordX));
    YJumpEdit->setText(settings::readString(settings::CoordY));
    openMapFile(str(mapPath));
}

void TTQMapEditForm::SaveMapEditPaths(const QString& mapPath, const QString& clientFolder) {
    // The map file is reopened even when the store cannot be written.
    struct Reopen {
        TTQMapEditForm* form;
        ~Reopen() { form->openMapFile(str(form->MapEdit->text())); }
    } reopen{this};
    settings::writeString(settings::Map, mapPath);
    settings::writeString(settings::ClientFolder, clientFolder);
    settings::writeString(settings::CoordX, XJumpEdit->text());
    settings::writeString(settings::CoordY, YJumpEdit->text());
}

void TTQMapEditForm::openMapFile(const std::string& path) {
    map_.reset();
    mapOpenError_.clear();
    passiveErrorShown_ = false;
    // The history belongs to one map file.
    if (path != historyPath_) {
        history_.clear();
        historyPath_ = path;
    }
    // A failed opening is not reported now; every later cell access reports it.
    try {
        map_ = tq::openMapFile(path, OpenMode::ReadWrite);
        world_ = MapFileWorld(path, {}, true);
        history_.setWorld(world_);
    } catch (const std::exception& e) {
        map_.reset();
        mapOpenError_ = e.what();
    }
    showWorld();
    refreshMinimap();
}

void TTQMapEditForm::showWorld() {
    MainDrawGrid->setGridSize(world_.cellsWide(), world_.cellsHigh());
    pointerX_ = std::min(pointerX_, world_.cellsWide() - 1);
    pointerY_ = std::min(pointerY_, world_.cellsHigh() - 1);
    worldPanel->setText(map_ ? qstr(world_.describe()) : QString());
}

QString TTQMapEditForm::worldText() const { return worldPanel->text(); }

File& TTQMapEditForm::mapFile() {
    if (!map_) throw Error(mapOpenError_.empty() ? std::string(msg::FileNotFound) : mapOpenError_);
    return *map_;
}

bool TTQMapEditForm::CheckMapEditPaths() {
    if (!isGreen(MapEdit) || !isGreen(UOPathEdit)) return false;
    if (mapChanged_ || clientFolderChanged_) {
        SaveMapEditPaths(MapEdit->text(), UOPathEdit->text());
        mapChanged_ = clientFolderChanged_ = false;
    }
    return true;
}

void TTQMapEditForm::MapEditChange() {
    mapChanged_ = true;
    // The open map and the copy tool's two maps: one facet for the three.
    checkPathFields({{MapEdit, PathKind::Map}, {MapEditSource, PathKind::Map}, {MapEditDestination, PathKind::Map}});
    SaveMapEditPaths(MapEdit->text(), UOPathEdit->text());
    CheckMapEditPaths();
    MainDrawGrid->invalidateGrid();
    TextureDrawGrid->invalidateGrid();
}

void TTQMapEditForm::UOPathEditChange() {
    clientFolderChanged_ = true;
    setValidColour(UOPathEdit, isValidClientFolder(str(UOPathEdit->text())));
    pictures_.clear();
    clientPictures_.reset();
    passiveErrorShown_ = false;
    CheckMapEditPaths();
    refreshMinimap();  // its radarcol.mul may be in the client folder
    MainDrawGrid->invalidateGrid();
    TextureDrawGrid->invalidateGrid();
}

// ---- showing and closing -----------------------------------------------------------

void TTQMapEditForm::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (event->spontaneous()) return;
    if (!centred_) {
        centred_ = true;
        if (QScreen* screen = QGuiApplication::primaryScreen()) {
            QRect frame = frameGeometry();
            frame.moveCenter(screen->availableGeometry().center());
            move(frame.topLeft());
            // The minimap beside the window's right edge, inside the screen.
            const QRect free = screen->availableGeometry();
            const QSize size = MinimapDock->frameGeometry().size();
            MinimapDock->move(std::clamp(frame.right() + 1, free.left(), std::max(free.left(), free.right() - size.width())),
                              std::max(free.top(), frame.top()));
        }
    }
    guarded(this, [this] { FormShow(); });
}

void TTQMapEditForm::FormShow() {
    randomizeFromClock();
    QString mapPath, clientFolder;
    LoadMapEditPaths(mapPath, clientFolder);
    if (UOPathEdit->text() != clientFolder) UOPathEdit->setText(clientFolder);
    if (MapEdit->text() != mapPath) MapEdit->setText(mapPath);
    SelectDrawingModeComboBox->setCurrentIndex(drawmode::DontDraw);
    UpdateMapEditStatus();
}

void TTQMapEditForm::eXit1Click() {
    SaveMapEditPaths(MapEdit->text(), UOPathEdit->text());
    close();
}

void TTQMapEditForm::closeEvent(QCloseEvent* event) {
    MainDrawGrid->cancelDrag();
    history_.clear();
    map_.reset();
    mapOpenError_.clear();
    QMainWindow::closeEvent(event);
}

// ---- drawing -----------------------------------------------------------------------

void TTQMapEditForm::reportPassiveError() {
    const QString text = currentExceptionText();
    if (passiveErrorShown_) return;
    passiveErrorShown_ = true;
    // Not from inside a paint event: the box would start a nested event loop there.
    QTimer::singleShot(0, this, [this, text] { prompts().error(this, AppTitle, text); });
}

void TTQMapEditForm::renderMapCells(QPainter& p, int c0, int r0, int c1, int r1) {
    MapRenderOptions o;
    o.cellSize = cellSize_;
    o.gridLineWidth = MainDrawGrid->gridLineWidth();
    o.gridLineColor = MainDrawGrid->gridLineColor();
    o.altitudeLabels = showAltitudeButtons->checkedId() == 0;
    o.font = font();
    o.world = world_;
    const QPoint origin = MainDrawGrid->cellRect(c0, r0).topLeft();
    const CellRect cells{c0, r0, c1, r1};
    try {
        o.pathsValid = CheckMapEditPaths();
        File* map = o.pathsValid ? &mapFile() : nullptr;
        renderer_.render(p, origin, cells, map, pictures_, o);
    } catch (...) {
        reportPassiveError();
        if (o.pathsValid) {
            o.pathsValid = false;
            o.altitudeLabels = false;
            if (!map_) renderer_.render(p, origin, cells, nullptr, pictures_, o);
        }
    }
}

void TTQMapEditForm::renderTileRows(QPainter& p, int r0, int r1) {
    bool valid = false;
    try {
        valid = CheckMapEditPaths();
    } catch (...) {
        reportPassiveError();
    }
    const QColor line = TextureDrawGrid->gridLineColor();
    for (int r = r0; r <= r1; ++r) {
        const QRect cell = TextureDrawGrid->cellRect(0, r);
        p.fillRect(QRect(cell.left(), cell.bottom() + 1, cell.width() + 1, 1), line);
        p.fillRect(QRect(cell.right() + 1, cell.top(), 1, cell.height()), line);
        if (!valid) {
            p.fillRect(cell, Qt::black);
            continue;
        }
        try {
            p.drawImage(cell.topLeft(), pictures_.picture(uint16_t(r), TileRowSize));
        } catch (...) {
            reportPassiveError();
            p.fillRect(cell, Qt::black);
            valid = false;
        }
    }
}

// ---- status ------------------------------------------------------------------------

int TTQMapEditForm::zValue() const {
    int z = 0;
    if (!parseZValue(str(ZValueEdit->text()), z)) z = 0;
    return z;
}

QString TTQMapEditForm::statusText(int panel) const { return statusPanels[panel & 1]->text(); }

void TTQMapEditForm::UpdateMapEditStatus() {
    std::optional<TMapCell> cell;
    QString left;
    try {
        if (CheckMapEditPaths()) cell = ReadMapCell(mapFile(), world_, pointerX_, pointerY_);
        left = QString::fromStdString(mapPositionStatus(pointerX_, pointerY_, cell));
    } catch (...) {
        left = QStringLiteral("X=%1 - Y=%2").arg(pointerX_).arg(pointerY_);
        reportPassiveError();
    }
    statusPanels[0]->setText(left);
    const auto mode = AltitudeMode(std::max(0, altitudeButtons->checkedId()));
    statusPanels[1]->setText(QString::fromStdString(
        paintModeStatus(mode, zValue(), SelectDrawingModeComboBox->currentIndex(), TextureDrawGrid->row())));
}

void TTQMapEditForm::MainDrawGridMouseMove(const QPoint& pos) {
    int c, r;
    MainDrawGrid->mouseToCell(pos, c, r);
    pointerX_ = std::clamp(std::max(c, 0), 0, world_.cellsWide() - 1);
    pointerY_ = std::clamp(std::max(r, 0), 0, world_.cellsHigh() - 1);
    UpdateMapEditStatus();
}

// ---- view controls -----------------------------------------------------------------

void TTQMapEditForm::BitBtn1Click() { zoomBy(ZoomStep); }
void TTQMapEditForm::BitBtn2Click() { zoomBy(-ZoomStep); }

void TTQMapEditForm::zoomBy(int step) {
    cellSize_ = std::clamp(cellSize_ + step, MinCellSize, MaxCellSize);
    MainDrawGrid->setCellSize(cellSize_, cellSize_);
    updateMinimapFrame();
}

void TTQMapEditForm::GridBoxClick() {
    MainDrawGrid->setGridLineWidth(gridButtons->checkedId() == 0 ? 1 : 0);
    MainDrawGrid->invalidateGrid();
}

void TTQMapEditForm::ShowAltitudeRadioGroupClick() { MainDrawGrid->invalidateGrid(); }

void TTQMapEditForm::Button3Click() { toggleFileNamePanel(); }

void TTQMapEditForm::ChooseGameFolderClick() {
    const QString folder = askGameFolder(this);
    if (!folder.isEmpty()) useGameFolder(folder);
}

void TTQMapEditForm::useGameFolder(const QString& folder) {
    // The facet the map fields already name; none yet means the first.
    const int facet =
        pathFieldsFacet({{MapEdit, PathKind::Map}, {MapEditSource, PathKind::Map}, {MapEditDestination, PathKind::Map}})
            .value_or(0);
    QStringList lines = fillFromGameFolder(folder, facet, {{MapEdit, PathKind::Map}});
    // The tile pictures come from the same folder of the game.
    if (isValidClientFolder(str(folder))) {
        if (UOPathEdit->text() != folder) UOPathEdit->setText(folder);
        lines << "Found the tile pictures: " + folder;
    } else {
        QStringList missing;
        for (const char* name : ClientImageFileNames)
            if (findClientFile(str(folder), name).empty()) missing << name;
        lines << "Not found in " + folder + ": " + missing.join(", ");
    }
    // The editor has no log: its status bar says it for a while.
    statusBar()->showMessage(lines.join("   "), 30000);
}

void TTQMapEditForm::toggleFileNamePanel() {
    const bool expand = FileNamePanel->height() < PanelExpanded;
    FileNamePanel->setFixedHeight(expand ? PanelExpanded : PanelCollapsed);
    advancedRows->setVisible(expand);
    Button3->setText(expand ? "Normal..." : "Advanced...");
}

void TTQMapEditForm::CoordGoBtnClick() {
    SaveMapEditPaths(MapEdit->text(), UOPathEdit->text());
    paintingSuspended_ = true;
    struct Resume {
        bool& flag;
        ~Resume() { flag = false; }
    } resume{paintingSuspended_};
    const int x = std::clamp<int32_t>(parseInt(str(XJumpEdit->text())), 0, world_.cellsWide() - 1);
    const int y = std::clamp<int32_t>(parseInt(str(YJumpEdit->text())), 0, world_.cellsHigh() - 1);
    // Stepping off first makes the final move scroll the target into view even when it
    // is the current cell already.
    if (x == MainDrawGrid->col()) MainDrawGrid->setCol(std::abs(x - 1));
    if (y == MainDrawGrid->row()) MainDrawGrid->setRow(std::abs(y - 1));
    MainDrawGrid->setCol(x);
    MainDrawGrid->setRow(y);
}

void TTQMapEditForm::MainDrawGridKeyDown(QKeyEvent* event) {
    const int key = event->key();
    if (key != Qt::Key_Left && key != Qt::Key_Right && key != Qt::Key_Up && key != Qt::Key_Down) return;
    const int c = MainDrawGrid->col(), r = MainDrawGrid->row();
    // The selection the arrow causes paints nothing. At the map's edge the arrow moves
    // nothing, so nothing is skipped and the next click paints.
    bool moves = false;
    switch (key) {
    case Qt::Key_Left:
        moves = c > 0;
        if (MainDrawGrid->leftCol() > 0) MainDrawGrid->setLeftCol(MainDrawGrid->leftCol() - 1);
        break;
    case Qt::Key_Up:
        moves = r > 0;
        if (MainDrawGrid->topRow() > 0) MainDrawGrid->setTopRow(MainDrawGrid->topRow() - 1);
        break;
    case Qt::Key_Right:
        moves = c < world_.cellsWide() - 1;
        if (MainDrawGrid->leftCol() < world_.cellsWide()) MainDrawGrid->setLeftCol(MainDrawGrid->leftCol() + 1);
        break;
    case Qt::Key_Down:
        moves = r < world_.cellsHigh() - 1;
        if (MainDrawGrid->topRow() < world_.cellsHigh()) MainDrawGrid->setTopRow(MainDrawGrid->topRow() + 1);
        break;
    }
    if (moves) skipNextSelect_ = true;
    guarded(this, [this] { UpdateMapEditStatus(); });
}

// ---- painting ----------------------------------------------------------------------

PaintSettings TTQMapEditForm::paintSettings() const {
    PaintSettings s;
    s.drawingMode = SelectDrawingModeComboBox->currentIndex();
    s.selectedTile = selectedTile_;
    s.altitudeMode = AltitudeMode(std::max(0, altitudeButtons->checkedId()));
    s.z = zValue();
    s.brushSize = BrushSizeMover->value();
    return s;
}

void TTQMapEditForm::MainDrawGridSelectCell(int col, int row) {
    if (paintingSuspended_) return;
    if (skipNextSelect_) {
        skipNextSelect_ = false;
        return;
    }
    const bool ok = guarded(this, [&] {
        if (SelectDrawingModeComboBox->currentIndex() == drawmode::DontDraw || !CheckMapEditPaths()) return;
        // A click or drag belongs to the open stroke; a key or wheel step is a step of its own.
        const bool single = !history_.stepOpen();
        if (single) history_.beginStep();
        struct Close {
            MapEditHistory& h;
            bool on;
            ~Close() {
                if (on) h.endStep();
            }
        } close{history_, single};
        const WorldLock lock(historyPath_, "map painting");
        for (const CellPos& p : brushCells(col, row, BrushSizeMover->value(), world_)) paintCellAndRecord(p.x, p.y);
    });
    if (!ok) MainDrawGrid->cancelDrag();
}

void TTQMapEditForm::paintCellAndRecord(int x, int y) {
    const TMapCell before = tq::PaintMapCell(mapFile(), x, y, paintSettings(), world_);
    history_.recordCell(x, y, before);
    MainDrawGrid->invalidateCell(x, y);
    updateMinimapCell(x, y);
}

void TTQMapEditForm::TextureDrawGridClick(int row) {
    selectedTile_ = uint16_t(row);
    SelectDrawingModeComboBox->setCurrentIndex(drawmode::SelectedTile);
    UpdateMapEditStatus();
}

void TTQMapEditForm::ZValueEditChange() {
    int z = 0;
    if (!parseZValue(str(ZValueEdit->text()), z)) {
        ZValueEdit->setText("0");
        UpdateMapEditStatus();
        return;
    }
    const QString clamped = QString::number(z);
    if (clamped != ZValueEdit->text()) {
        ZValueEdit->setText(clamped);  // runs this handling once more
        return;
    }
    if (XValueUpDown->value() != z) {
        const QSignalBlocker block(XValueUpDown);
        XValueUpDown->setValue(z);
    }
    UpdateMapEditStatus();
}

// ---- undo --------------------------------------------------------------------------

void TTQMapEditForm::Undo() {
    guarded(this, [this] {
        if (!history_.canUndo()) return;
        const WorldLock lock(historyPath_, "map painting");
        history_.undo(mapFile());
        MainDrawGrid->invalidateGrid();
        refreshMinimap(true);
    });
}

void TTQMapEditForm::Redo() {
    guarded(this, [this] {
        if (!history_.canRedo()) return;
        const WorldLock lock(historyPath_, "map painting");
        history_.redo(mapFile());
        MainDrawGrid->invalidateGrid();
        refreshMinimap(true);
    });
}

// ---- minimap -----------------------------------------------------------------------

void TTQMapEditForm::refreshMinimap(bool rebuild) {
    // Called from openMapFile, which runs in a destructor too: nothing may leave here.
    try {
        const std::string& mapPath = historyPath_;  // the path the open map was opened by
        // Beside the map, like the client's other files; else in the client folder.
        std::string radarcol = radarColoursBeside(mapPath);
        if (radarcol.empty()) radarcol = findClientFile(str(UOPathEdit->text()), RadarColourFileName);
        const std::string key = map_ ? mapPath + '\n' + radarcol + '\n' + world_.describe() : std::string();
        if (key == minimapKey_ && !rebuild) return;
        minimapKey_ = key;
        if (!map_) {
            Minimap->setMessage(NoMapForMinimap);
        } else if (radarcol.empty()) {
            Minimap->setMessage(NoRadarColours);
        } else {
            QElapsedTimer timer;
            timer.start();
            radarColours_ = RadarColours::load(radarcol);
            const int scale = minimapScale(world_);
            const CellRect all{0, 0, world_.cellsWide() - 1, world_.cellsHigh() - 1};
            const OverviewPicture picture = renderOverview(*map_, world_, radarColours_, all, {scale});
            Minimap->setPicture(overviewImage(picture), scale, world_.cellsWide(), world_.cellsHigh());
            minimapBuildMs_ = timer.elapsed();
        }
    } catch (...) {
        // The grid reports a broken map itself; the minimap only says why it is empty.
        Minimap->setMessage(currentExceptionText());
    }
    updateMinimapFrame();
}

void TTQMapEditForm::updateMinimapCell(int x, int y) {
    if (!Minimap->hasPicture() || !map_) return;
    const int scale = Minimap->scale();
    const int px = x / scale, py = y / scale;
    const CellRect area{px * scale, py * scale, std::min(px * scale + scale - 1, world_.cellsWide() - 1),
                        std::min(py * scale + scale - 1, world_.cellsHigh() - 1)};
    const OverviewPicture pixel = renderOverview(*map_, world_, radarColours_, area, {scale});
    Minimap->setPixel(px, py, qRgb(pixel.rgb[0], pixel.rgb[1], pixel.rgb[2]));
}

void TTQMapEditForm::updateMinimapFrame() {
    Minimap->setViewCells(QRect(MainDrawGrid->leftCol(), MainDrawGrid->topRow(), MainDrawGrid->visibleColCount(),
                                MainDrawGrid->visibleRowCount()));
}

void TTQMapEditForm::centreViewOn(int x, int y) {
    // Only the view moves: the current cell stays, so nothing is painted.
    MainDrawGrid->setLeftCol(std::max(0, x - MainDrawGrid->visibleColCount() / 2));
    MainDrawGrid->setTopRow(std::max(0, y - MainDrawGrid->visibleRowCount() / 2));
    updateMinimapFrame();
}

// ---- region copy -------------------------------------------------------------------

void TTQMapEditForm::APPENDClick() { copyRegionOfTheBoxes(); }

void TTQMapEditForm::copyRegionOfTheBoxes() {
    if (!CheckMapEditPaths()) {
        prompts().information(this, AppTitle, "File paths are incorrect.");
        return;
    }
    const BusyScope busy;  // one operation at a time in the whole program
    APPEND->setText("Working ....");
    APPEND->repaint();
    MapRegionTexts texts;
    texts.SFX = str(SFX->text()), texts.SFY = str(SFY->text()), texts.STX = str(STX->text()), texts.STY = str(STY->text());
    texts.DFX = str(DFX->text()), texts.DFY = str(DFY->text()), texts.DTX = str(DTX->text()), texts.DTY = str(DTY->text());
    const MapRegion region = parseMapRegion(texts);
    try {
        CopyMapRegionWithUndo(str(MapEditSource->text()), str(MapEditDestination->text()), region, history_);
    } catch (const RegionSizeMismatch& e) {
        prompts().information(this, AppTitle, e.what());
        APPEND->setText("Ready to Copy");
        return;
    } catch (...) {
        MainDrawGrid->invalidateGrid();
        throw;
    }
    APPEND->setText("Ready to Copy");
    MainDrawGrid->invalidateGrid();
    refreshMinimap(true);
}

} // namespace tq
