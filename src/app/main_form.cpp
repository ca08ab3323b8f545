#include "app/main_form.h"

#include "app/about.h"
#include "app/help_form.h"
#include "check/compact.h"
#include "check/world_check.h"
#include "core/loaded_index.h"
#include "core/world_lock.h"
#include "core/static_listing.h"
#include "core/uop/map_convert.h"
#include "ui/game_folder_choice.h"
#include "ui/handlers.h"
#include "ui/log_list.h"
#include "ui/operation.h"
#include "ui/path_browse.h"
#include "ui/path_field.h"
#include "ui/progress_form.h"
#include "ui/prompts.h"
#include "ui/qt_text.h"
#include "ui/radio_group.h"
#include "ui/settings.h"
#include "ui/up_down.h"
#include "worldsave/folder_save.h"
#include "worldsave/freeze.h"
#include "worldsave/melt.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSplitter>
#include <QStyle>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace tq {
namespace {

const char* const ModeQuestion =
    "You have not yet selected a mode. If you only want to use Terraquill for patching your files, you should "
    "select \"Yes\" (Simple mode). If you want all features, select \"No\" (Normal mode). In \"Simple mode\" you "
    "get step by step instructions on patching.";
const char* const ModeNotice = "The new mode will be active the next time you start Terraquill.";

QString qs(const std::string& text) { return QString::fromStdString(text); }

// The picture of the MapEdit button: a few cells of land and water.
QIcon mapIcon() {
    QPixmap picture(16, 16);
    QPainter painter(&picture);
    const QColor cells[4][4] = {
        {QColor(34, 110, 34), QColor(34, 110, 34), QColor(160, 130, 80), QColor(30, 80, 170)},
        {QColor(34, 110, 34), QColor(160, 130, 80), QColor(30, 80, 170), QColor(30, 80, 170)},
        {QColor(120, 120, 120), QColor(34, 110, 34), QColor(34, 110, 34), QColor(30, 80, 170)},
        {QColor(120, 120, 120), QColor(120, 120, 120), QColor(34, 110, 34), QColor(160, 130, 80)},
    };
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) painter.fillRect(x * 4, y * 4, 4, 4, cells[y][x]);
    return QIcon(picture);
}

} // namespace

TMainForm::TMainForm(QWidget* parent)
    : QMainWindow(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                              Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      StaticIndex(newStaticIndex()),
      programFolder_(QCoreApplication::applicationDirPath()) {
    setObjectName("MainForm");
    setWindowTitle("CustomTerraquill (Version 6X)");
    buildControls();
    buildMenu();
    // A fixed border: the client area stays 602 x 566 below the menu.
    centralWidget()->setFixedSize(602, 566);
    setFixedSize(602, 566 + menuBar()->sizeHint().height());
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    connect(&appEvents(), &AppEvents::staticIndexWritten, this,
            [this] { guarded(this, [this] { StaticIndexWrittenElsewhere(); }); });
    connect(&appEvents(), &AppEvents::statusRequested, this, &TMainForm::setStatus);
}

TMainForm::~TMainForm() = default;

void TMainForm::buildControls() {
    auto* client = new QWidget(this);
    client->setObjectName("ClientArea");
    setCentralWidget(client);
    auto* root = new QVBoxLayout(client);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);

    // Top panel with the close button at its right.
    auto* topPanel = new QFrame(client);
    topPanel->setObjectName("TopPanel");
    topPanel->setFrameShape(QFrame::StyledPanel);
    topPanel->setFixedHeight(45);
    auto* topLayout = new QHBoxLayout(topPanel);
    topLayout->setContentsMargins(6, 4, 6, 4);
    auto* title = new QLabel("Terraquill", topPanel);
    title->setObjectName("TitleLabel");
    QFont titleFont = title->font();
    titleFont.setPointSize(titleFont.pointSize() + 5);
    titleFont.setBold(true);
    title->setFont(titleFont);
    topLayout->addWidget(title);
    // The loaded index's world ("facet 0, 7168 × 4096"); empty until one is loaded.
    WorldLabel = new QLabel(topPanel);
    WorldLabel->setObjectName("WorldLabel");
    topLayout->addSpacing(12);
    topLayout->addWidget(WorldLabel);
    topLayout->addStretch(1);
    // The world-save's items name no facet: whether they stand on facet 1 as well is the
    // user's to say (Normal mode only).
    SharedWorldCheckBox = new QCheckBox("Facet 1 shares facet 0's world", topPanel);
    SharedWorldCheckBox->setObjectName("SharedWorldCheckBox");
    SharedWorldCheckBox->setToolTip("The world-save's items stand on facet 0. Tick this when facet 1 is a copy of "
                                    "facet 0's world: a freeze of facet 1 then takes them too.");
    topLayout->addWidget(SharedWorldCheckBox);
    SpeedButton1 = new QToolButton(topPanel);
    SpeedButton1->setObjectName("SpeedButton1");
    SpeedButton1->setFixedSize(32, 32);
    SpeedButton1->setIcon(style()->standardIcon(QStyle::SP_DialogCloseButton));
    SpeedButton1->setIconSize(QSize(24, 24));
    SpeedButton1->setToolTip("Close Terraquill");
    topLayout->addWidget(SpeedButton1);
    root->addWidget(topPanel);

    auto* middle = new QHBoxLayout;
    middle->setContentsMargins(0, 0, 0, 0);
    middle->setSpacing(2);
    root->addLayout(middle, 1);

    // Left: the operations, top to bottom.
    ButtonPanel = new QWidget(client);
    ButtonPanel->setObjectName("ButtonPanel");
    ButtonPanel->setFixedWidth(85);
    // 85 pixels hold "GetStaticIndex" only in a small, narrow face.
    QFont panelFont = ButtonPanel->font();
    panelFont.setPointSizeF(std::min(panelFont.pointSizeF(), 8.0));
    panelFont.setStretch(QFont::SemiCondensed);
    ButtonPanel->setFont(panelFont);
    auto* buttons = new QVBoxLayout(ButtonPanel);
    buttons->setContentsMargins(3, 3, 3, 3);
    buttons->setSpacing(2);
    auto button = [&](QPushButton*& member, const char* name, const char* caption) {
        member = new QPushButton(caption, ButtonPanel);
        member->setObjectName(name);
        buttons->addWidget(member);
    };
    auto blockRow = [&](QLabel*& label, const char* labelName, const char* caption, QLineEdit*& edit,
                        const char* editName, TUpDown*& upDown, const char* upDownName, int maximum) {
        auto* row = new QHBoxLayout;
        row->setSpacing(2);
        label = new QLabel(caption, ButtonPanel);
        label->setObjectName(labelName);
        label->setFixedWidth(10);
        edit = new QLineEdit("0", ButtonPanel);
        edit->setObjectName(editName);
        edit->installEventFilter(this);
        upDown = new TUpDown(edit, 0, maximum, ButtonPanel);
        upDown->setObjectName(upDownName);
        upDown->setFixedHeight(edit->sizeHint().height());
        row->addWidget(label);
        row->addWidget(edit, 1);
        row->addWidget(upDown);
        buttons->addLayout(row);
    };
    button(GetStaticIndexButton, "GetStaticIndexButton", "GetStaticIndex");
    blockRow(XBlockLabel, "XBlockLabel", "X", XBlockEdit, "XBlockEdit", XBlockUpDown, "XBlockUpDown", WorldGeometry().blocksWide - 1);
    blockRow(YBlockLabel, "YBlockLabel", "Y", YBlockEdit, "YBlockEdit", YBlockUpDown, "YBlockUpDown", WorldGeometry().blocksHigh - 1);
    button(GetStaticBlockButton, "GetStaticBlockButton", "GetStaticBlock");
    button(MeltBlockButton, "MeltBlockButton", "Melt!");
    button(FreezeWorldButton, "FreezeWorldButton", "Freeze!");
    SelectItemsRadioGroup = new TRadioGroup("SelectItemsRadioGroup", "Freeze items", {"type 255", "auto"}, 1,
                                            ButtonPanel);
    SelectItemsRadioGroup->setItemIndex(0);
    buttons->addWidget(SelectItemsRadioGroup);
    WritePATCheckBox = new QCheckBox("Write PAT", ButtonPanel);
    WritePATCheckBox->setObjectName("WritePATCheckBox");
    buttons->addWidget(WritePATCheckBox);
    lblStatus = new QLabel(ButtonPanel);
    lblStatus->setObjectName("lblStatus");
    lblStatus->setFixedSize(73, 16);
    lblStatus->setAlignment(Qt::AlignCenter);
    lblStatus->setAutoFillBackground(true);
    buttons->addWidget(lblStatus, 0, Qt::AlignHCenter);
    button(FillClearButton, "FillClearButton", "Fill/Clear");
    button(TQDiffButton, "TQDiffButton", "TQ-Diff");
    MapEditButton = new QToolButton(ButtonPanel);
    MapEditButton->setObjectName("MapEditButton");
    MapEditButton->setText("MapEdit");
    MapEditButton->setIcon(mapIcon());
    MapEditButton->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    MapEditButton->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    buttons->addWidget(MapEditButton);
    ModeGroupBox = new QGroupBox("Mode", ButtonPanel);
    ModeGroupBox->setObjectName("ModeGroupBox");
    auto* modes = new QVBoxLayout(ModeGroupBox);
    modes->setContentsMargins(4, 2, 4, 2);
    modes->setSpacing(2);
    NormalModeRadioButton = new QRadioButton("Normal", ModeGroupBox);
    NormalModeRadioButton->setObjectName("NormalModeRadioButton");
    NormalModeRadioButton->setChecked(true);
    SimpleModeRadioButton = new QRadioButton("Simple", ModeGroupBox);
    SimpleModeRadioButton->setObjectName("SimpleModeRadioButton");
    modes->addWidget(NormalModeRadioButton);
    modes->addWidget(SimpleModeRadioButton);
    buttons->addWidget(ModeGroupBox);
    buttons->addStretch(1);
    middle->addWidget(ButtonPanel);

    // Centre: the block listing (or the guidance) over the log.
    Splitter = new QSplitter(Qt::Vertical, client);
    Splitter->setObjectName("Splitter");
    Splitter->setChildrenCollapsible(false);
    PageControl = new QTabWidget(Splitter);
    PageControl->setObjectName("PageControl");
    MainListBox = new LogList;
    MainListBox->setObjectName("MainListBox");
    MainListBox->setFollowsEnd(false);
    PageControl->addTab(MainListBox, "Main");
    // Beside the page's tab, above the guidance that names it.
    ChooseGameFolderButton = new QPushButton(ChooseGameFolderCaption, PageControl);
    ChooseGameFolderButton->setObjectName("ChooseGameFolderButton");
    ChooseGameFolderButton->setToolTip("Fill in staidx0.mul and statics0.mul from the folder of your game");
    PageControl->setCornerWidget(ChooseGameFolderButton, Qt::TopRightCorner);
    LogListBox = new LogList(Splitter);
    LogListBox->setObjectName("LogListBox");
    PageControl->setMinimumHeight(50);
    LogListBox->setMinimumHeight(50);
    Splitter->addWidget(PageControl);
    Splitter->addWidget(LogListBox);
    Splitter->setStretchFactor(0, 1);
    Splitter->setStretchFactor(1, 0);
    Splitter->setSizes({400, 78});
    middle->addWidget(Splitter, 1);

    // Bottom row: the three paths.
    FileNamePanel = new QWidget(client);
    FileNamePanel->setObjectName("FileNamePanel");
    auto* paths = new QGridLayout(FileNamePanel);
    paths->setContentsMargins(4, 2, 4, 4);
    paths->setHorizontalSpacing(6);
    paths->setVerticalSpacing(1);
    auto pathField = [&](int column, QLabel*& label, const char* labelName, const char* caption, QLineEdit*& edit,
                         const char* editName, PathKind kind) {
        label = new QLabel(caption, FileNamePanel);
        label->setObjectName(labelName);
        edit = new QLineEdit(FileNamePanel);
        edit->setObjectName(editName);
        paths->addWidget(label, 0, column);
        paths->addWidget(withBrowseButton(edit, pathKindFilter(kind)), 1, column);
        paths->setColumnStretch(column, 1);
    };
    pathField(0, StaIdxLabel, "StaIdxLabel", "staidx0.mul", StaIdxEdit, "StaIdxEdit", PathKind::StaticIndex);
    pathField(1, StaticsLabel, "StaticsLabel", "statics0.mul", StaticsEdit, "StaticsEdit", PathKind::Statics);
    pathField(2, WSCLabel, "WSCLabel", "items.wsc", WSCEdit, "WSCEdit", PathKind::AnyFile);
    root->addWidget(FileNamePanel);

    // Initial state: nothing to do before the paths are judged.
    for (QWidget* w : std::initializer_list<QWidget*>{GetStaticIndexButton, GetStaticBlockButton, MeltBlockButton,
                                                      FreezeWorldButton, FillClearButton, TQDiffButton, XBlockEdit,
                                                      XBlockUpDown, YBlockEdit, YBlockUpDown})
        w->setEnabled(false);
    MapEditButton->setEnabled(false);  // until a map editor is attached
    setReady();

    connectHandler(StaIdxEdit, &QLineEdit::textChanged, this, &TMainForm::StaIdxEditChange);
    connectHandler(StaticsEdit, &QLineEdit::textChanged, this, &TMainForm::StaticsEditChange);
    connectHandler(WSCEdit, &QLineEdit::textChanged, this, &TMainForm::WSCEditChange);
    connectHandler(GetStaticIndexButton, &QPushButton::clicked, this, &TMainForm::GetStaticIndexButtonClick);
    connectHandler(GetStaticBlockButton, &QPushButton::clicked, this, &TMainForm::GetStaticBlockButtonClick);
    connectHandler(MeltBlockButton, &QPushButton::clicked, this, &TMainForm::MeltBlockButtonClick);
    connectHandler(FreezeWorldButton, &QPushButton::clicked, this, &TMainForm::FreezeWorldButtonClick);
    connectHandler(SharedWorldCheckBox, &QCheckBox::clicked, this, &TMainForm::SharedWorldCheckBoxClick);
    connectHandler(NormalModeRadioButton, &QRadioButton::toggled, this, &TMainForm::NormalModeRadioButtonClick);
    connectHandler(SimpleModeRadioButton, &QRadioButton::toggled, this, &TMainForm::SimpleModeRadioButtonClick);
    connectHandler(TQDiffButton, &QPushButton::clicked, this, &TMainForm::TQDiffButtonClick);
    connectHandler(FillClearButton, &QPushButton::clicked, this, &TMainForm::FillClearButtonClick);
    connectHandler(MapEditButton, &QToolButton::clicked, this, &TMainForm::MapEditButtonClick);
    connectHandler(SpeedButton1, &QToolButton::clicked, this, &TMainForm::SpeedButton1Click);
    connectHandler(ChooseGameFolderButton, &QPushButton::clicked, this, &TMainForm::ChooseGameFolderClick);

    // A folder dropped anywhere on the window is a chosen game folder.
    acceptWindowDrops(
        this, [](const QString& path) { return QFileInfo(path).isDir(); },
        [this](const QString& path, QPoint) { useGameFolder(path); });
}

void TMainForm::buildMenu() {
    QMenu* file = menuBar()->addMenu("&File");
    file->setObjectName("File1");
    ChooseGameFolder1 = file->addAction(ChooseGameFolderCaption);
    ChooseGameFolder1->setObjectName("ChooseGameFolder1");
    ConvertMap1 = file->addAction("&Convert map\u2026");
    ConvertMap1->setObjectName("ConvertMap1");
    CheckWorld1 = file->addAction("Check &world\u2026");
    CheckWorld1->setObjectName("CheckWorld1");
    CompactStatics1 = file->addAction("Com&pact statics\u2026");
    CompactStatics1->setObjectName("CompactStatics1");
    file->addSeparator();
    eXit1 = file->addAction("e&Xit");
    eXit1->setObjectName("eXit1");
    QMenu* help = menuBar()->addMenu("&Help");
    help->setObjectName("Help1");
    QMenu* areas = help->addMenu("Help Areas");
    areas->setObjectName("HelpAreas1");
    WelcometoTerraquill1 = areas->addAction("Welcome  to Terraquill");
    WelcometoTerraquill1->setObjectName("WelcometoTerraquill1");
    About1 = help->addAction("&About");
    About1->setObjectName("About1");
    connectHandler(ConvertMap1, &QAction::triggered, this, &TMainForm::ConvertMap1Click);
    connectHandler(CheckWorld1, &QAction::triggered, this, &TMainForm::CheckWorld1Click);
    connectHandler(CompactStatics1, &QAction::triggered, this, &TMainForm::CompactStatics1Click);
    connectHandler(eXit1, &QAction::triggered, this, &TMainForm::eXit1Click);
    connectHandler(WelcometoTerraquill1, &QAction::triggered, this, &TMainForm::WelcometoTerraquill1Click);
    connectHandler(About1, &QAction::triggered, this, &TMainForm::About1Click);
    connectHandler(ChooseGameFolder1, &QAction::triggered, this, &TMainForm::ChooseGameFolderClick);
}

void TMainForm::setOtherWindows(const OtherWindows& windows) {
    others_ = windows;
    MapEditButton->setEnabled(others_.mapEdit != nullptr);
    if (shown_) UpdateButtons();
}

// --- settings ---------------------------------------------------------------

TMainForm::MainPaths TMainForm::LoadMainPaths() {
    return {settings::readString(settings::StaIdx), settings::readString(settings::Statics),
            settings::readString(settings::WorldSave)};
}

void TMainForm::SaveMainPaths(const QString& staIdx, const QString& statics, const QString& worldSave) {
    settings::writeString(settings::StaIdx, staIdx);
    settings::writeString(settings::Statics, statics);
    settings::writeString(settings::WorldSave, worldSave);
}

uint8_t TMainForm::AskOrReadMode() {
    if (settings::contains(settings::Mode)) return uint8_t(settings::readInt(settings::Mode));
    const int answer = prompts().question(this, "Simple mode?", ModeQuestion) ? SimpleMode : NormalMode;
    WriteModeSetting(answer);
    return uint8_t(answer);
}

void TMainForm::WriteModeSetting(int mode) { settings::writeInt(settings::Mode, mode); }

// --- start ------------------------------------------------------------------

void TMainForm::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (shown_) return;
    shown_ = true;
    guarded(this, [this] { FormShow(); });
}

void TMainForm::FormShow() {
    Initializing = true;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{Initializing};

    const MainPaths paths = LoadMainPaths();
    Mode = AskOrReadMode();
    setRunMode(Mode);
    if (Mode == NormalMode) NormalModeRadioButton->setChecked(true);
    if (Mode == SimpleMode) SimpleModeRadioButton->setChecked(true);
    if (Mode != NormalMode && Mode != SimpleMode) {
        // Neither: the buttons of a radio pair cannot both be cleared while exclusive.
        NormalModeRadioButton->setAutoExclusive(false);
        NormalModeRadioButton->setChecked(false);
        NormalModeRadioButton->setAutoExclusive(true);
    }
    setWindowTitle(qs(mainCaption(Mode)));
    SharedWorldCheckBox->setChecked(settings::readInt(settings::SharedWorld) != 0);
    SharedWorldCheckBox->setVisible(Mode == NormalMode);
    // An operator's tools: a player in Simple mode only loads the index and freezes.
    CheckWorld1->setVisible(Mode != SimpleMode);
    CompactStatics1->setVisible(Mode != SimpleMode);

    // Each field is judged even when its text does not change (an empty stored path
    // turns it red), so a newcomer's first screen already shows what is missing.
    const std::pair<QLineEdit*, QString> fields[] = {
        {StaIdxEdit, paths.staIdx}, {StaticsEdit, paths.statics}, {WSCEdit, paths.worldSave}};
    for (const auto& [field, text] : fields) {
        if (field->text() != text) {
            field->setText(text);  // runs the change handler
        } else if (field == StaIdxEdit) {
            StaIdxEditChange();
        } else if (field == StaticsEdit) {
            StaticsEditChange();
        } else {
            WSCEditChange();
        }
    }
}

// --- path fields --------------------------------------------------------------

// The three fields are judged together: the index and statics must be of one facet.
void TMainForm::checkPaths() {
    checkPathFields({{StaIdxEdit, PathKind::StaticIndex},
                     {StaticsEdit, PathKind::Statics},
                     {WSCEdit, PathKind::FileOrFolder}});  // the world-save file or folder, or a patch file, under any name
    UpdateButtons();
    ShowGuidance();
}

void TMainForm::StaIdxEditChange() { checkPaths(); }
void TMainForm::StaticsEditChange() { checkPaths(); }
void TMainForm::WSCEditChange() { checkPaths(); }

MainWindowState TMainForm::state() const {
    MainWindowState s;
    s.staIdx = fieldColour(StaIdxEdit);
    s.statics = fieldColour(StaticsEdit);
    s.worldSave = fieldColour(WSCEdit);
    s.indexLoaded = IndexLoaded;
    s.frozen = Frozen;
    s.mode = Mode;
    s.freezeChoicesLocked = freezeChoicesLocked_;
    s.diffWindow = others_.diff != nullptr;
    s.fillClearWindow = others_.fillClear != nullptr;
    s.mapEditWindow = others_.mapEdit != nullptr;
    return s;
}

void TMainForm::UpdateButtons() {
    const MainButtonStates b = decideMainButtons(state());
    using Save = MainButtonStates::Save;
    if (b.save == Save::StaticsPaths) SaveMainPaths(StaIdxEdit->text(), StaticsEdit->text(), QString());
    if (b.save == Save::AllPaths) SaveMainPaths(StaIdxEdit->text(), StaticsEdit->text(), WSCEdit->text());
    GetStaticIndexButton->setEnabled(b.getStaticIndex);
    for (QWidget* w : std::initializer_list<QWidget*>{XBlockEdit, XBlockUpDown, YBlockEdit, YBlockUpDown})
        w->setEnabled(b.blockFields);
    GetStaticBlockButton->setEnabled(b.getStaticBlock);
    MeltBlockButton->setEnabled(b.melt);
    FreezeWorldButton->setEnabled(b.freeze);
    SelectItemsRadioGroup->setEnabled(b.selectItems);
    WritePATCheckBox->setEnabled(b.writePat);
    SharedWorldCheckBox->setEnabled(b.selectItems);
    FillClearButton->setEnabled(b.fillClear);
    TQDiffButton->setEnabled(b.tqDiff);
    MapEditButton->setEnabled(b.mapEdit);
    ChooseGameFolderButton->setEnabled(b.chooseGameFolder);
    ChooseGameFolder1->setEnabled(b.chooseGameFolder);
    const MainWindowState s = state();
    CompactStatics1->setEnabled(s.staIdx == FieldColour::Green && s.statics == FieldColour::Green);
}

void TMainForm::ShowGuidance() {
    if (Mode != SimpleMode) return;
    MainListBox->clear();
    for (const std::string& line : guidanceLines(guidanceStep(state()))) MainListBox->addLine(qs(line));
}

// --- block fields -------------------------------------------------------------

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusOut) {
        if (watched == XBlockEdit) guarded(this, [this] { XBlockEditExit(); });
        if (watched == YBlockEdit) guarded(this, [this] { YBlockEditExit(); });
    }
    return QMainWindow::eventFilter(watched, event);
}

void TMainForm::blockFieldExit(QLineEdit* field, int maximum) {
    if (const auto clamped = clampedBlockFieldText(str(field->text()), maximum)) field->setText(qs(*clamped));
}

void TMainForm::XBlockEditExit() { blockFieldExit(XBlockEdit, StaticIndex->world().blocksWide - 1); }
void TMainForm::YBlockEditExit() { blockFieldExit(YBlockEdit, StaticIndex->world().blocksHigh - 1); }

// --- status and log -------------------------------------------------------------

void TMainForm::setStatus(const QString& text, const QColor& background) {
    lblStatus->setText(text);
    QPalette palette = lblStatus->palette();
    palette.setColor(QPalette::Window, background);
    palette.setColor(QPalette::WindowText, Qt::white);
    lblStatus->setPalette(palette);
    lblStatus->repaint();
}

void TMainForm::setReady() { setStatus("READY", StatusReadyColour); }
void TMainForm::setBusy() { setStatus("BUSY", StatusBusyColour); }

void TMainForm::log(const QString& line) {
    LogListBox->addLine(line);
}

void TMainForm::logNow(const QString& line) {
    log(line);
    LogListBox->flush();
    LogListBox->repaint();
}

// After a failure or a cancelled freeze the window is usable again: READY, and the
// controls as UpdateButtons sets them for the state the run left behind.
void TMainForm::restoreAfterFailure() {
    setReady();
    try {
        UpdateButtons();
        ShowGuidance();
    } catch (...) {
        // The operation's own error is the one the user sees.
    }
}

LogSink TMainForm::operationLog() {
    return [this](const std::string& line) {
        LogListBox->addLine(qs(line));
        if (line == FreezingInProgressMessage) {
            LogListBox->flush();
            LogListBox->repaint();
        }
    };
}

template <typename F>
void TMainForm::runOperation(F body) {
    BusyScope busy;  // refuses a second operation before anything changes
    try {
        body();
        LogListBox->flush();
    } catch (const IndexChangedError&) {
        IndexLoaded = false;  // another program changed the file: GetStaticIndex loads it again
        restoreAfterFailure();
        throw;
    } catch (...) {
        restoreAfterFailure();
        throw;
    }
}

// --- operations ---------------------------------------------------------------

void TMainForm::GetStaticIndexButtonClick() {
    runOperation([this] {
        setBusy();
        logNow("Init in progress... Terraquill may look crashed, do not interrupt!");
        IndexLoaded = false;
        // What a killed freeze, melt or apply left is finished before the index is read.
        finishInterruptedWorkBeforeReading(str(StaIdxEdit->text()), {str(StaticsEdit->text())}, operationLog());
        LoadStaticIndex(str(StaIdxEdit->text()), *StaticIndex, windowProgress());
        IndexLoaded = true;
        showWorld();
        // The index in memory belongs to these two files for the rest of the run.
        StaIdxEdit->setEnabled(false);
        StaticsEdit->setEnabled(false);
        UpdateButtons();
        ShowGuidance();
        log("Init completed!");
        setReady();
    });
}

void TMainForm::showWorld() {
    const WorldGeometry& world = StaticIndex->world();
    XBlockUpDown->setRange(0, world.blocksWide - 1);
    YBlockUpDown->setRange(0, world.blocksHigh - 1);
    WorldLabel->setText(qs(world.describe()));
}

void TMainForm::GetStaticBlockButtonClick() {
    // Freeze! waits for the next UpdateButtons.
    FreezeWorldButton->setEnabled(false);
    try {
        const BlockCoords block = readBlockFields(str(XBlockEdit->text()), str(YBlockEdit->text()), StaticIndex->world());
        TStaticBlock statics;
        aboutFile(str(StaIdxEdit->text()),
                  [&] { ReadBlockStatics(str(StaticsEdit->text()), StaticIndex->at(block.x, block.y), statics); });
        MainListBox->clear();
        for (const std::string& line : staticListingLines(statics, block.x, block.y)) MainListBox->addLine(qs(line));
    } catch (...) {
        restoreAfterFailure();
        throw;
    }
}

void TMainForm::MeltBlockButtonClick() {
    runOperation([this] {
        setBusy();
        logNow(MeltingInProgressMessage);
        const BlockCoords block = readBlockFields(str(XBlockEdit->text()), str(YBlockEdit->text()), StaticIndex->world());
        MeltOptions options;
        options.staidxPath = str(StaIdxEdit->text());
        options.staticsPath = str(StaticsEdit->text());
        options.worldSavePath = str(WSCEdit->text());
        // Under the world's lock the index held since GetStaticIndex must still be the file's.
        const WorldLock lock({options.staidxPath}, "melt", worldSaveFilesOf(options.worldSavePath), operationLog());
        CheckIndexUnchanged(options.staidxPath, *StaticIndex);
        MeltBlock(options, block.x, block.y, *StaticIndex, windowProgress(), operationLog());
        setReady();  // logs "Melting completed!" itself
    });
}

// A map between map{N}.mul and map{N}LegacyMUL.uop, either way, with the progress window.
void TMainForm::ConvertMap1Click() {
    runOperation([this] {
        const QString filter = "Maps (*.mul *.uop);;All files (*)";
        const QString source = prompts().openFileName(this, "Convert map", filter, QString());
        if (source.isEmpty()) return;
        const QString destination = prompts().saveFileName(this, "Convert " + QFileInfo(source).fileName() + " to",
                                                           filter, QString(), qs(uop::convertedMapName(str(source))));
        if (destination.isEmpty()) return;
        setBusy();
        ProgressShowing showing;
        const WorldGeometry world = uop::convertMap(str(source), str(destination), {}, ProgressShowing::progress());
        log("Converted " + source + " to " + destination + " (" + qs(world.describe()) + ")");
        setReady();
    });
}

void TMainForm::CheckWorld1Click() {
    runOperation([this] {
        const QString start = QFileInfo(StaIdxEdit->text()).absolutePath();
        const QString folder = prompts().existingFolder(this, "Check world", StaIdxEdit->text().isEmpty() ? QString() : start);
        if (folder.isEmpty()) return;
        setBusy();
        ProgressShowing showing;
        const CheckReport report = CheckWorld({str(folder)}, {}, ProgressShowing::progress());
        for (const std::string& line : report.lines()) log(qs(line));
        setReady();
    });
}

void TMainForm::CompactStatics1Click() {
    runOperation([this] {
        CompactOptions options;
        options.staidxPath = str(StaIdxEdit->text());
        options.staticsPath = str(StaticsEdit->text());
        if (!prompts().question(this, "Compact statics",
                                "Rewrite " + StaticsEdit->text() + " and " + StaIdxEdit->text() +
                                    " without the bytes no index entry uses? The world's content stays as it is."))
            return;
        setBusy();
        ProgressShowing showing;
        try {
            CompactStatics(options, ProgressShowing::progress(), operationLog());
        } catch (const CompactRefused& refused) {
            for (const std::string& line : refused.report.lines()) log(qs(line));
            throw;
        }
        // The runs moved: an index loaded before must be read again to match the files.
        if (IndexLoaded) LoadStaticIndex(options.staidxPath, *StaticIndex, windowProgress());
        setReady();
    });
}

void TMainForm::FreezeWorldButtonClick() {
    runOperation([this] {
        setBusy();
        SelectItemsRadioGroup->setEnabled(false);
        WritePATCheckBox->setEnabled(false);

        FreezeOptions options;
        options.staidxPath = str(StaIdxEdit->text());
        options.staticsPath = str(StaticsEdit->text());
        options.worldSavePath = str(WSCEdit->text());
        options.rule = selectionRuleOfItem(SelectItemsRadioGroup->itemIndex());
        options.writePat = WritePATCheckBox->isChecked();
        options.autoSelectPath = str(QDir(programFolder_).filePath("AutoSelect.txt"));
        options.announce = true;
        options.sharedWorld = Mode == NormalMode && SharedWorldCheckBox->isChecked();  // after AutoSelect.txt is read, as the log should show it

        if (options.writePat) {
            const QString pat = prompts().saveFileName(this, "Save or append the patch to", QString(), "PAT",
                                                       QFileInfo(WSCEdit->text()).absolutePath(), false);
            if (pat.isEmpty()) {
                restoreAfterFailure();  // cancelled: nothing changed
                return;
            }
            CheckWscAndPat(str(pat), options.worldSavePath);
            if (fileExists(str(pat)) &&
                !prompts().question(this, "Append to " + pat + "?",
                                    "Do you want to append new items to " + pat +
                                        "? All old items will remain in this file.")) {
                restoreAfterFailure();
                return;
            }
            options.patPath = str(pat);
        }

        // Under the world's lock the index held since GetStaticIndex must still be the file's.
        std::vector<std::string> companions = worldSaveFilesOf(options.worldSavePath);
        companions.push_back(options.staticsPath);
        companions.push_back(options.patPath);
        const WorldLock lock({options.staidxPath}, "freeze", companions, operationLog());
        CheckIndexUnchanged(options.staidxPath, *StaticIndex);
        FreezeWorld(options, *StaticIndex, windowProgress(), operationLog());
        Frozen = true;
        freezeChoicesLocked_ = true;
        setReady();  // "Freezing completed!" is logged by the freeze itself
        UpdateButtons();
        ShowGuidance();
    });
}

void TMainForm::StaticIndexWrittenElsewhere() {
    if (!IndexLoaded) return;
    IndexLoaded = false;
    log("staidx0.mul was changed by another window. Click GetStaticIndex to load the index again.");
    UpdateButtons();
    ShowGuidance();
}

// --- modes ----------------------------------------------------------------------

void TMainForm::SharedWorldCheckBoxClick() {
    settings::writeInt(settings::SharedWorld, SharedWorldCheckBox->isChecked() ? 1 : 0);
}

void TMainForm::NormalModeRadioButtonClick() {
    if (!NormalModeRadioButton->isChecked() || Initializing) return;
    WriteModeSetting(NormalMode);
    prompts().information(this, "Normal mode selected", ModeNotice);
}

void TMainForm::SimpleModeRadioButtonClick() {
    if (!SimpleModeRadioButton->isChecked() || Initializing) return;
    WriteModeSetting(SimpleMode);
    prompts().information(this, "Simple mode selected", ModeNotice);
}

// --- other windows ----------------------------------------------------------------

void TMainForm::TQDiffButtonClick() {
    if (others_.diff) others_.diff->exec();
}

void TMainForm::FillClearButtonClick() {
    if (others_.fillClear) others_.fillClear->exec();
}

void TMainForm::MapEditButtonClick() {
    if (!others_.mapEdit) return;
    others_.mapEdit->show();
    others_.mapEdit->raise();
    others_.mapEdit->activateWindow();
}

void TMainForm::WelcometoTerraquill1Click() { THelpForm::open(THelpForm::Welcome); }

void TMainForm::About1Click() { prompts().information(this, "About Terraquill", aboutText()); }

// --- game folder ------------------------------------------------------------------

void TMainForm::ChooseGameFolderClick() {
    const QString folder = askGameFolder(this);
    if (!folder.isEmpty()) useGameFolder(folder);
}

void TMainForm::useGameFolder(const QString& folder) {
    if (IndexLoaded) {
        // The loaded index belongs to its two files for the rest of the run.
        log("The static index is loaded: staidx0.mul and statics0.mul stay as they are until Terraquill starts again.");
        return;
    }
    const std::vector<std::pair<QLineEdit*, PathKind>> fields = {{StaIdxEdit, PathKind::StaticIndex},
                                                                 {StaticsEdit, PathKind::Statics}};
    // The facet the fields already name; a newcomer's empty fields mean the first.
    const int facet = pathFieldsFacet(fields).value_or(0);
    log("Looking for the game's files in " + folder);
    for (const QString& line : fillFromGameFolder(folder, facet, fields)) log(line);
}

// --- closing ----------------------------------------------------------------------

void TMainForm::eXit1Click() { close(); }
void TMainForm::SpeedButton1Click() { close(); }

void TMainForm::closeEvent(QCloseEvent* event) {
    // Closing in the middle of a freeze would end the program with the operation half
    // done; the close waits for a quiet moment.
    if (BusyScope::active()) {
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
    emit closed();
}

} // namespace tq
