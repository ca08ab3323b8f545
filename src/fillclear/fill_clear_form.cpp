#include "fillclear/fill_clear_form.h"

#include "core/facets.h"
#include "core/named_tiles.h"
#include "ui/handlers.h"
#include "ui/operation.h"
#include "ui/path_browse.h"
#include "ui/path_field.h"
#include "ui/progress_form.h"
#include "ui/prompts.h"
#include "ui/qt_text.h"
#include "ui/settings.h"
#include "ui/up_down.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFocusEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace tq {

TTQFillClearForm::TTQFillClearForm(QWidget* parent) : OperationDialog(parent) {
    setObjectName("TQFillClearForm");
    setWindowTitle("Fill/Clear");
    // 385 x 257 holds the four bands only in a small, narrow face.
    QFont face = font();
    face.setPointSizeF(std::min(face.pointSizeF(), 8.0));
    face.setStretch(QFont::SemiCondensed);
    setFont(face);
    buildControls();
    setFixedSize(385, 257);
    centreOnScreen();
    FormCreate();
}

TTQFillClearForm::~TTQFillClearForm() = default;

void TTQFillClearForm::buildControls() {
    ClientArea = addClientArea();
    auto* root = new QVBoxLayout(ClientArea);
    root->setContentsMargins(3, 0, 3, 2);
    root->setSpacing(1);

    auto makeLabel = [](QLabel*& member, const char* name, const char* caption, QWidget* parent) {
        member = new QLabel(caption, parent);
        member->setObjectName(name);
        return member;
    };
    auto makeEdit = [](QLineEdit*& member, const char* name, const char* text, QWidget* parent) {
        member = new QLineEdit(text, parent);
        member->setObjectName(name);
        return member;
    };

    // 1. The passes, "Go!" and the close button.
    TopPanel = new QWidget(ClientArea);
    TopPanel->setObjectName("TopPanel");
    auto* top = new QHBoxLayout(TopPanel);
    top->setContentsMargins(0, 0, 0, 0);
    ClearSelectGroupBox = new QGroupBox("Clear files", TopPanel);
    ClearSelectGroupBox->setObjectName("ClearSelectGroupBox");
    auto* boxes = new QHBoxLayout(ClearSelectGroupBox);
    boxes->setContentsMargins(6, 0, 6, 2);
    StaticsCheckBox = new QCheckBox("StaIdx0.mul + Statics0.mul", ClearSelectGroupBox);
    StaticsCheckBox->setObjectName("StaticsCheckBox");
    StaticsCheckBox->setChecked(true);
    MapCheckBox = new QCheckBox("Map0.mul", ClearSelectGroupBox);
    MapCheckBox->setObjectName("MapCheckBox");
    MapCheckBox->setChecked(true);
    boxes->addWidget(StaticsCheckBox);
    boxes->addWidget(MapCheckBox);
    top->addWidget(ClearSelectGroupBox, 1);
    GoButton = new QPushButton("Go!", TopPanel);
    GoButton->setObjectName("GoButton");
    GoButton->setEnabled(false);
    GoButton->setFixedWidth(60);
    top->addWidget(GoButton, 0, Qt::AlignBottom);
    BitBtn1 = new QToolButton(TopPanel);
    BitBtn1->setObjectName("BitBtn1");
    BitBtn1->setIcon(style()->standardIcon(QStyle::SP_DialogCloseButton));
    BitBtn1->setToolTip("Close");
    top->addWidget(BitBtn1, 0, Qt::AlignBottom);
    root->addWidget(TopPanel);

    // 2. The rectangle, laid out like a compass.
    FillClearAreaGroupBox = new QGroupBox("Fill/Clear area", ClientArea);
    FillClearAreaGroupBox->setObjectName("FillClearAreaGroupBox");
    // Three columns; each border sits with its label in the cell of its compass point.
    auto* area = new QGridLayout(FillClearAreaGroupBox);
    area->setContentsMargins(4, 0, 4, 2);
    area->setHorizontalSpacing(4);
    area->setVerticalSpacing(1);
    QWidget* a = FillClearAreaGroupBox;
    area->addWidget(makeLabel(ClearAreaNoteLabel, "ClearAreaNoteLabel", "Enter cell numbers here!", a), 0, 0);
    auto border = [&](QLabel*& label, const char* labelName, const char* caption, QLineEdit*& edit,
                      const char* editName, int row, int column, Qt::Alignment alignment) {
        auto* pair = new QHBoxLayout;
        pair->setSpacing(3);
        makeLabel(label, labelName, caption, a)->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        makeEdit(edit, editName, "", a)->setFixedWidth(46);
        pair->addWidget(label);
        pair->addWidget(edit);
        area->addLayout(pair, row, column, alignment);
    };
    border(ClearAreaTopLabel, "ClearAreaTopLabel", "Top border", ClearAreaTopEdit, "ClearAreaTopEdit", 0, 1,
           Qt::AlignHCenter);
    border(ClearAreaLeftLabel, "ClearAreaLeftLabel", "Left border", ClearAreaLeftEdit, "ClearAreaLeftEdit", 1, 0,
           Qt::AlignLeft);
    border(ClearAreaRightLabel, "ClearAreaRightLabel", "Right border", ClearAreaRightEdit, "ClearAreaRightEdit", 1, 2,
           Qt::AlignRight);
    border(ClearAreaBottomLabel, "ClearAreaBottomLabel", "Bottom border", ClearAreaBottomEdit, "ClearAreaBottomEdit", 2,
           1, Qt::AlignHCenter);
    root->addWidget(FillClearAreaGroupBox);

    // 3. What the cells get.
    ReplaceGroupBox = new QGroupBox("Replace with", ClientArea);
    ReplaceGroupBox->setObjectName("ReplaceGroupBox");
    auto* replace = new QGridLayout(ReplaceGroupBox);
    replace->setContentsMargins(6, 0, 6, 2);
    replace->setHorizontalSpacing(8);
    replace->setVerticalSpacing(1);
    QWidget* r = ReplaceGroupBox;
    replace->addWidget(
        makeLabel(StaticsClearInfoLabel, "StaticsClearInfoLabel", "All static items in this area are cleared!", r), 0,
        0, 1, 2);
    replace->addWidget(makeLabel(FillTileLabel, "FillTileLabel", "Select tile-group or enter tile-id", r), 1, 0);
    FillTileComboBox = new QComboBox(r);
    FillTileComboBox->setObjectName("FillTileComboBox");
    FillTileComboBox->setEditable(true);
    FillTileComboBox->setInsertPolicy(QComboBox::NoInsert);
    FillTileComboBox->setMaxVisibleItems(16);
    replace->addWidget(FillTileComboBox, 2, 0);
    replace->addWidget(makeLabel(FillAltitudeLabel, "FillAltitudeLabel", "Select an altitude for the tiles", r), 1, 1);
    auto* altitude = new QHBoxLayout;
    altitude->setSpacing(0);
    makeEdit(FillAltitudeEdit, "FillAltitudeEdit", "0", r);
    FillAltitudeEdit->installEventFilter(this);
    FillAltitudeUpDown = new TUpDown(FillAltitudeEdit, FillAltitudeMin, FillAltitudeMax, r);
    FillAltitudeUpDown->setObjectName("FillAltitudeUpDown");
    FillAltitudeUpDown->setFixedHeight(FillAltitudeEdit->sizeHint().height());
    altitude->addWidget(FillAltitudeEdit, 1);
    altitude->addWidget(FillAltitudeUpDown);
    replace->addLayout(altitude, 2, 1);
    replace->setColumnStretch(0, 1);
    replace->setColumnStretch(1, 1);
    root->addWidget(ReplaceGroupBox);

    // 4. The three files.
    FileNamePanel = new QWidget(ClientArea);
    FileNamePanel->setObjectName("FileNamePanel");
    auto* files = new QGridLayout(FileNamePanel);
    files->setContentsMargins(0, 0, 0, 0);
    files->setHorizontalSpacing(4);
    files->setVerticalSpacing(0);
    QLabel** labels[FillClearFieldCount] = {&StaIdxLabel, &StaticsLabel, &MapLabel};
    const char* labelNames[FillClearFieldCount] = {"StaIdxLabel", "StaticsLabel", "MapLabel"};
    const char* captions[FillClearFieldCount] = {"StaIdx0.mul", "Statics0.mul", "Map0.mul"};
    QLineEdit** members[FillClearFieldCount] = {&MStaIdxEdit, &MStaticsEdit, &MMapEdit};
    for (int i = 0; i < FillClearFieldCount; ++i) {
        const FillClearFieldInfo& info = fillClearFields()[size_t(i)];
        files->addWidget(makeLabel(*labels[i], labelNames[i], captions[i], FileNamePanel), 0, i);
        QLineEdit* field = makeEdit(*members[i], info.control, "", FileNamePanel);
        // The statics paths come from the main and diff windows only.
        field->setEnabled(info.userEditable);
        files->addWidget(withBrowseButton(field, pathKindFilter(info.kind)), 1, i);
        files->setColumnStretch(i, 1);
        edits_[size_t(i)] = field;
    }
    root->addWidget(FileNamePanel);
    root->addStretch(1);

    setTabOrder(ClearAreaTopEdit, ClearAreaLeftEdit);
    setTabOrder(ClearAreaLeftEdit, ClearAreaRightEdit);
    setTabOrder(ClearAreaRightEdit, ClearAreaBottomEdit);

    connectHandler(MStaIdxEdit, &QLineEdit::textChanged, this, &TTQFillClearForm::MStaIdxEditChange);
    connectHandler(MStaticsEdit, &QLineEdit::textChanged, this, &TTQFillClearForm::MStaticsEditChange);
    connectHandler(MMapEdit, &QLineEdit::textChanged, this, &TTQFillClearForm::MMapEditChange);
    connectHandler(StaticsCheckBox, &QCheckBox::toggled, this, &TTQFillClearForm::StaticsCheckBoxClick);
    connectHandler(MapCheckBox, &QCheckBox::toggled, this, &TTQFillClearForm::MapCheckBoxClick);
    connectHandler(GoButton, &QPushButton::clicked, this, &TTQFillClearForm::GoButtonClick);
    connectHandler(BitBtn1, &QToolButton::clicked, this, &TTQFillClearForm::BitBtn1Click);
}

// --- settings -------------------------------------------------------------------

TTQFillClearForm::FillClearPaths TTQFillClearForm::LoadFillClearPaths() {
    return {settings::readString(settings::StaIdx), settings::readString(settings::Statics),
            settings::readString(settings::Map)};
}

void TTQFillClearForm::SaveFillClearPaths(const QString& staIdx, const QString& statics, const QString& map) {
    settings::writeString(settings::StaIdx, staIdx);
    settings::writeString(settings::Statics, statics);
    settings::writeString(settings::Map, map);
}

// --- creation and showing -----------------------------------------------------------

void TTQFillClearForm::FormCreate() {
    // The whole world.
    ClearAreaTopEdit->setText("0");
    ClearAreaLeftEdit->setText("0");
    ClearAreaRightEdit->setText(QString::number(world_.cellsWide() - 1));
    ClearAreaBottomEdit->setText(QString::number(world_.cellsHigh() - 1));
    showWorld(world_, false);
    for (const TNamedTile& tile : NamedTiles) FillTileComboBox->addItem(QString::fromLatin1(tile.Name));
    FillTileComboBox->setCurrentIndex(-1);
    FillTileComboBox->setEditText(QString());
}

void TTQFillClearForm::FormShow() {
    const FillClearPaths paths = LoadFillClearPaths();
    MStaIdxEdit->setText(paths.staIdx);
    MStaticsEdit->setText(paths.statics);
    MMapEdit->setText(paths.map);
    // An unchanged text fires no change handler, yet its file may have gone or come since
    // the last showing (or the field was never judged): judge all three again.
    judgeFields();
    CheckFillClearPaths();
}

// --- paths ----------------------------------------------------------------------

void TTQFillClearForm::fieldChange(int) {
    judgeFields();
    CheckFillClearPaths();
}

void TTQFillClearForm::judgeFields() {
    std::vector<std::pair<QLineEdit*, PathKind>> fields;
    for (int i = 0; i < FillClearFieldCount; ++i) fields.emplace_back(edits_[size_t(i)], fillClearFields()[size_t(i)].kind);
    checkPathFields(fields);
    for (QLineEdit* field : edits_)
        if (fieldColour(field) != FieldColour::Green) return showWorld(world_, false);
    try {
        // As the run will decide it; a file of no size of its facet is reported by "Go!".
        showWorld(resolveWorld({{WorldFileKind::StaticIndex, str(MStaIdxEdit->text()), true},
                                {WorldFileKind::Statics, str(MStaticsEdit->text())},
                                {WorldFileKind::Map, str(MMapEdit->text()), true}}),
                  true);
    } catch (const std::exception&) {
        showWorld(world_, false);
    }
}

void TTQFillClearForm::showWorld(const WorldGeometry& world, bool known) {
    // Borders still at the whole world follow the new one; typed ones stay.
    const auto follow = [](QLineEdit* field, int before, int after) {
        if (field->text() == QString::number(before)) field->setText(QString::number(after));
    };
    follow(ClearAreaRightEdit, world_.cellsWide() - 1, world.cellsWide() - 1);
    follow(ClearAreaBottomEdit, world_.cellsHigh() - 1, world.cellsHigh() - 1);
    world_ = world;
    const QString columns = "0.." + QString::number(world.cellsWide() - 1);
    const QString rows = "0.." + QString::number(world.cellsHigh() - 1);
    ClearAreaLeftEdit->setToolTip("Cell column " + columns);
    ClearAreaRightEdit->setToolTip("Cell column " + columns);
    ClearAreaTopEdit->setToolTip("Cell row " + rows);
    ClearAreaBottomEdit->setToolTip("Cell row " + rows);
    setWindowTitle(known ? "Fill/Clear - " + qstr(world.describe()) : QString("Fill/Clear"));
}

void TTQFillClearForm::MStaIdxEditChange() { fieldChange(0); }
void TTQFillClearForm::MStaticsEditChange() { fieldChange(1); }
void TTQFillClearForm::MMapEditChange() { fieldChange(2); }

void TTQFillClearForm::CheckFillClearPaths() {
    std::array<bool, FillClearFieldCount> green{};
    for (int i = 0; i < FillClearFieldCount; ++i)
        green[size_t(i)] = fieldColour(edits_[size_t(i)]) == FieldColour::Green;
    const FillClearGoState state = decideFillClearGo(green);
    if (state.savePaths) SaveFillClearPaths(MStaIdxEdit->text(), MStaticsEdit->text(), MMapEdit->text());
    GoButton->setEnabled(state.go);
}

// --- passes, tile and altitude ------------------------------------------------------

void TTQFillClearForm::passChange(bool staticsClicked) {
    const FillClearPassControls c =
        decideFillClearPasses({StaticsCheckBox->isChecked(), MapCheckBox->isChecked()}, staticsClicked);
    StaticsCheckBox->setChecked(c.passes.statics);
    MapCheckBox->setChecked(c.passes.map);
    StaticsClearInfoLabel->setEnabled(c.staticsClearInfo);
    for (QWidget* w : std::initializer_list<QWidget*>{FillTileLabel, FillTileComboBox, FillAltitudeLabel,
                                                      FillAltitudeEdit})
        w->setEnabled(c.tileAndAltitude);
}

void TTQFillClearForm::MapCheckBoxClick() { passChange(false); }
void TTQFillClearForm::StaticsCheckBoxClick() { passChange(true); }

void TTQFillClearForm::FillAltitudeEditExit() {
    if (const auto replacement = clampedAltitudeText(str(FillAltitudeEdit->text())))
        FillAltitudeEdit->setText(QString::fromStdString(*replacement));
}

bool TTQFillClearForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == FillAltitudeEdit && event->type() == QEvent::FocusOut) {
        // Only when the focus moves to another control, not when the window loses it.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
            guarded(this, [this] { FillAltitudeEditExit(); });
    }
    return QDialog::eventFilter(watched, event);
}

FillClearInput TTQFillClearForm::input() const {
    FillClearInput in;
    in.Top = str(ClearAreaTopEdit->text());
    in.Left = str(ClearAreaLeftEdit->text());
    in.Right = str(ClearAreaRightEdit->text());
    in.Bottom = str(ClearAreaBottomEdit->text());
    in.ClearStatics = StaticsCheckBox->isChecked();
    in.FillMap = MapCheckBox->isChecked();
    in.StaIdxPath = str(MStaIdxEdit->text());
    in.StaticsPath = str(MStaticsEdit->text());
    in.MapPath = str(MMapEdit->text());
    in.Tile = str(FillTileComboBox->currentText());
    in.Altitude = str(FillAltitudeEdit->text());
    return in;
}

// --- the run ------------------------------------------------------------------------

void TTQFillClearForm::GoButtonClick() {
    // The altitude is kept in range whether or not the field was left before the click.
    if (MapCheckBox->isChecked()) FillAltitudeEditExit();
    // The run works on these values; the window takes no input until it is over.
    const FillClearInput in = input();
    // A mistyped border, altitude or tile is reported before the run starts, so it neither
    // shows BUSY nor makes the main window load its index again.
    const FillClearRequest request = validateFillClear(in);
    runLocked(
        ClientArea,
        [&] {
            ProgressShowing showing;
            setMainStatus(FillClearBusyText, StatusBusyColour);
            FillClear(request, windowProgress());
        },
        [&] {
            setMainStatus(FillClearDoneText, StatusReadyColour);
            // Cleared statics mean a new staidx0.mul: the main window's loaded index is stale
            // (also after a failure part-way, when some entries may already be written).
            if (in.ClearStatics) emit appEvents().staticIndexWritten(qstr(in.StaIdxPath));
        });
}

void TTQFillClearForm::BitBtn1Click() { close(); }

// --- window -------------------------------------------------------------------------

void TTQFillClearForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    guarded(this, [this] { FormShow(); });
}

} // namespace tq
