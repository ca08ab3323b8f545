#include "diff/diff_form.h"
#include "diff/changes_window.h"
#include "core/facets.h"
#include "core/map_file.h"
#include "mapedit/overview.h"

#include "core/error.h"
#include "core/file_system.h"
#include "core/setting_names.h"
#include "ui/game_folder_choice.h"
#include "ui/handlers.h"
#include "ui/log_list.h"
#include "ui/operation.h"
#include "ui/path_browse.h"
#include "ui/path_field.h"
#include "ui/progress_form.h"
#include "ui/prompts.h"
#include "ui/qt_text.h"
#include "ui/settings.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace tq {

namespace {
const char* const FileFilter = "TQ-Diff file (Version 2) (*.tq2)";
// Qt appends this to a name typed without an extension: a package must end in ".tq2"
// to be applied again.
const char* const DefaultSuffix = "tq2";
} // namespace

TTQDiffForm::TTQDiffForm(QWidget* parent) : OperationDialog(parent) {
    setObjectName("TQDiffForm");
    setWindowTitle("TQ-Diff");
    QFont face("MS Sans Serif", 8);
    face.setStyleHint(QFont::SansSerif);
    setFont(face);
    buildControls();
    // The File menu holds the game-folder choice too; the client area keeps its size below it.
    auto* bar = new QMenuBar(this);
    QMenu* file = bar->addMenu("&File");
    file->setObjectName("File1");
    QMenu* choose = file->addMenu(ChooseGameFolderCaption);
    choose->setObjectName("ChooseGameFolder1");
    choose->addAction(ChooseOriginalFolder1);
    choose->addAction(ChooseModifiedFolder1);
    layout()->setMenuBar(bar);
    setFixedSize(507, 361 + bar->sizeHint().height());
    centreOnScreen();
}

TTQDiffForm::~TTQDiffForm() = default;

void TTQDiffForm::buildControls() {
    ClientArea = addClientArea();
    auto* root = new QVBoxLayout(ClientArea);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);

    // Top: which parts, the two actions, the close button.
    ConfigurationPanel = new QWidget(ClientArea);
    ConfigurationPanel->setObjectName("ConfigurationPanel");
    // As tall as its three check boxes need in the user's font; the explanation list below
    // takes what is left of the fixed client area.
    ConfigurationPanel->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    auto* top = new QHBoxLayout(ConfigurationPanel);
    top->setContentsMargins(4, 0, 4, 2);
    top->setSpacing(6);

    GenerateSelectGroupBox = new QGroupBox("Generate diff for", ConfigurationPanel);
    GenerateSelectGroupBox->setObjectName("GenerateSelectGroupBox");
    auto* parts = new QVBoxLayout(GenerateSelectGroupBox);
    parts->setContentsMargins(6, 0, 6, 1);
    parts->setSpacing(0);
    StaticsCheckBox = new QCheckBox("StaIdx0.mul + Statics0.mul", GenerateSelectGroupBox);
    StaticsCheckBox->setObjectName("StaticsCheckBox");
    StaticsCheckBox->setChecked(true);
    MapCheckBox = new QCheckBox("Map0.mul", GenerateSelectGroupBox);
    MapCheckBox->setObjectName("MapCheckBox");
    MapCheckBox->setChecked(true);
    // Remembered once clicked; until then on for any world but the old clients' size (see CheckDiffPaths).
    CompactCheckBox = new QCheckBox("Compact package", GenerateSelectGroupBox);
    CompactCheckBox->setObjectName("CompactCheckBox");
    CompactCheckBox->setToolTip("Write the small package form (version 4) that players download quickly");
    parts->addWidget(StaticsCheckBox);
    parts->addWidget(MapCheckBox);
    parts->addWidget(CompactCheckBox);
    top->addWidget(GenerateSelectGroupBox);

    ButtonGroupBox = new QGroupBox("Select an action", ConfigurationPanel);
    ButtonGroupBox->setObjectName("ButtonGroupBox");
    // Two rows so that every caption shows whole in the window's fixed width.
    auto* actions = new QGridLayout(ButtonGroupBox);
    actions->setContentsMargins(6, 2, 6, 4);
    actions->setVerticalSpacing(2);
    GenerateButton = new QPushButton("Generate Diff", ButtonGroupBox);
    GenerateButton->setObjectName("GenerateButton");
    GenerateButton->setEnabled(false);
    ApplyButton = new QPushButton("Apply Diff", ButtonGroupBox);
    ApplyButton->setObjectName("ApplyButton");
    ApplyButton->setEnabled(false);
    actions->addWidget(GenerateButton, 0, 0);
    actions->addWidget(ApplyButton, 0, 1);
    ShowChangesButton = new QPushButton("Show changes", ButtonGroupBox);
    ShowChangesButton->setObjectName("ShowChangesButton");
    ShowChangesButton->setToolTip("A picture of the modified map with the blocks that differ from the original in red");
    actions->addWidget(ShowChangesButton, 1, 0, 1, 2);
    top->addWidget(ButtonGroupBox, 1);

    CloseBtn = new QToolButton(ConfigurationPanel);
    CloseBtn->setObjectName("CloseBtn");
    CloseBtn->setIcon(style()->standardIcon(QStyle::SP_DialogCloseButton));
    CloseBtn->setIconSize(QSize(24, 24));
    CloseBtn->setFixedSize(36, 36);
    CloseBtn->setToolTip("Close");
    top->addWidget(CloseBtn, 0, Qt::AlignVCenter);
    root->addWidget(ConfigurationPanel);

    // Middle: the explanation.
    TQDiffListBox = new LogList(ClientArea);
    TQDiffListBox->setObjectName("TQDiffListBox");
    for (const std::string& line : diffExplanationLines()) TQDiffListBox->addLine(qstr(line));
    root->addWidget(TQDiffListBox, 1);

    // Bottom: two rows of three paths.
    FileNamePanel = new QWidget(ClientArea);
    FileNamePanel->setObjectName("FileNamePanel");
    FileNamePanel->setFixedHeight(77);
    auto* grid = new QGridLayout(FileNamePanel);
    grid->setContentsMargins(4, 2, 4, 4);
    grid->setHorizontalSpacing(4);
    grid->setVerticalSpacing(2);
    auto label = [&](QLabel*& member, const char* name, const char* caption, int row, int column) {
        member = new QLabel(caption, FileNamePanel);
        member->setObjectName(name);
        grid->addWidget(member, row, column);
    };
    label(StaIdxLabel, "StaIdxLabel", "StaIdx0.mul", 0, 1);
    label(StaticsLabel, "StaticsLabel", "Statics0.mul", 0, 2);
    label(MapLabel, "MapLabel", "Map0.mul", 0, 3);
    // The corner above the row names: which side a game folder fills is the user's choice.
    ChooseGameFolderButton = new QToolButton(FileNamePanel);
    ChooseGameFolderButton->setObjectName("ChooseGameFolderButton");
    ChooseGameFolderButton->setText(ChooseGameFolderCaption);
    ChooseGameFolderButton->setToolTip("Fill in one row's three files from the folder of a game");
    ChooseGameFolderButton->setPopupMode(QToolButton::InstantPopup);
    auto* sides = new QMenu(ChooseGameFolderButton);
    ChooseOriginalFolder1 = sides->addAction("Original files\u2026");
    ChooseOriginalFolder1->setObjectName("ChooseOriginalFolder1");
    ChooseModifiedFolder1 = sides->addAction("Modified files\u2026");
    ChooseModifiedFolder1->setObjectName("ChooseModifiedFolder1");
    ChooseGameFolderButton->setMenu(sides);
    grid->addWidget(ChooseGameFolderButton, 0, 0);
    label(OriginalLabel, "OriginalLabel", "Original files", 1, 0);
    label(ModifiedLabel, "ModifiedLabel", "Modified files", 2, 0);
    QLineEdit** members[DiffFieldCount] = {&OStaIdxEdit, &OStaticsEdit, &OMapEdit,
                                           &MStaIdxEdit, &MStaticsEdit, &MMapEdit};
    for (int i = 0; i < DiffFieldCount; ++i) {
        const DiffFieldInfo& info = diffFields()[size_t(i)];
        auto* field = new QLineEdit(FileNamePanel);
        field->setObjectName(info.control);
        // The modified index and statics are the main window's working files.
        field->setEnabled(info.userEditable);
        grid->addWidget(withBrowseButton(field, pathKindFilter(info.kind)), 1 + i / 3, 1 + i % 3);
        *members[i] = field;
        edits_[size_t(i)] = field;
    }
    for (int column = 1; column <= 3; ++column) grid->setColumnStretch(column, 1);
    root->addWidget(FileNamePanel);
    setTabOrder(OStaIdxEdit, OStaticsEdit);
    setTabOrder(OStaticsEdit, OMapEdit);
    setTabOrder(OMapEdit, MStaIdxEdit);
    setTabOrder(MStaIdxEdit, MStaticsEdit);
    setTabOrder(MStaticsEdit, MMapEdit);

    connectHandler(OStaIdxEdit, &QLineEdit::textChanged, this, &TTQDiffForm::OStaIdxEditChange);
    connectHandler(OStaticsEdit, &QLineEdit::textChanged, this, &TTQDiffForm::OStaticsEditChange);
    connectHandler(OMapEdit, &QLineEdit::textChanged, this, &TTQDiffForm::OMapEditChange);
    connectHandler(MStaIdxEdit, &QLineEdit::textChanged, this, &TTQDiffForm::MStaIdxEditChange);
    connectHandler(MStaticsEdit, &QLineEdit::textChanged, this, &TTQDiffForm::MStaticsEditChange);
    connectHandler(MMapEdit, &QLineEdit::textChanged, this, &TTQDiffForm::MMapEditChange);
    connectHandler(StaticsCheckBox, &QCheckBox::clicked, this, &TTQDiffForm::StaticsCheckBoxClick);
    connectHandler(MapCheckBox, &QCheckBox::clicked, this, &TTQDiffForm::MapCheckBoxClick);
    connectHandler(CompactCheckBox, &QCheckBox::clicked, this, &TTQDiffForm::CompactCheckBoxClick);
    connectHandler(GenerateButton, &QPushButton::clicked, this, &TTQDiffForm::GenerateButtonClick);
    connectHandler(ApplyButton, &QPushButton::clicked, this, &TTQDiffForm::ApplyButtonClick);
    connectHandler(ShowChangesButton, &QPushButton::clicked, this, &TTQDiffForm::ShowChangesButtonClick);
    connectHandler(CloseBtn, &QToolButton::clicked, this, &TTQDiffForm::CloseBtnClick);
    connectHandler(ChooseOriginalFolder1, &QAction::triggered, this, &TTQDiffForm::ChooseOriginalFolderClick);
    connectHandler(ChooseModifiedFolder1, &QAction::triggered, this, &TTQDiffForm::ChooseModifiedFolderClick);

    // A folder dropped on the original row fills that row; anywhere else, the modified
    // files (a player's game). A package is applied.
    acceptWindowDrops(
        this,
        [](const QString& path) { return QFileInfo(path).isDir() || IsDiffPackageName(str(path)); },
        [this](const QString& path, QPoint pos) {
            if (!QFileInfo(path).isDir()) return applyDroppedPackage(path);
            const QWidget* row = OStaIdxEdit->parentWidget();
            const int top = row->mapTo(this, QPoint(0, 0)).y();
            useGameFolder(path, !(pos.y() >= top && pos.y() < top + row->height()));
        });
}

// --- settings -------------------------------------------------------------------

TTQDiffForm::DiffPathTexts TTQDiffForm::LoadDiffPaths() {
    DiffPathTexts texts;
    for (int i = 0; i < DiffFieldCount; ++i) texts[size_t(i)] = settings::readString(diffFields()[size_t(i)].settingName);
    return texts;
}

void TTQDiffForm::SaveDiffPaths(const DiffPathTexts& texts) {
    for (int i = 0; i < DiffFieldCount; ++i) settings::writeString(diffFields()[size_t(i)].settingName, texts[size_t(i)]);
}

// --- paths ----------------------------------------------------------------------

void TTQDiffForm::FormShow() {
    const DiffPathTexts texts = LoadDiffPaths();
    for (int i = 0; i < DiffFieldCount; ++i) {
        // A changed text runs the field's change handler.
        edits_[size_t(i)]->setText(texts[size_t(i)]);
    }
    // An unchanged text fires nothing, yet its file may have gone or come since the
    // last showing: judge every field again so the colours and the actions are true now.
    judgeFields();
    CheckDiffPaths();
}

// The six are judged together: one facet for all.
void TTQDiffForm::judgeFields() {
    std::vector<std::pair<QLineEdit*, PathKind>> fields;
    for (int i = 0; i < DiffFieldCount; ++i) fields.emplace_back(edits_[size_t(i)], diffFields()[size_t(i)].kind);
    checkPathFields(fields);
}

void TTQDiffForm::fieldChange(DiffField) {
    judgeFields();
    CheckDiffPaths();
}

void TTQDiffForm::OStaIdxEditChange() { fieldChange(DiffField::OStaIdx); }
void TTQDiffForm::OStaticsEditChange() { fieldChange(DiffField::OStatics); }
void TTQDiffForm::OMapEditChange() { fieldChange(DiffField::OMap); }
void TTQDiffForm::MStaIdxEditChange() { fieldChange(DiffField::MStaIdx); }
void TTQDiffForm::MStaticsEditChange() { fieldChange(DiffField::MStatics); }
void TTQDiffForm::MMapEditChange() { fieldChange(DiffField::MMap); }

void TTQDiffForm::CheckDiffPaths() {
    std::array<bool, DiffFieldCount> green{};
    DiffPathTexts texts;
    for (int i = 0; i < DiffFieldCount; ++i) {
        green[size_t(i)] = fieldColour(edits_[size_t(i)]) == FieldColour::Green;
        texts[size_t(i)] = edits_[size_t(i)]->text();
    }
    // Simple mode (of this run, as the main window read it at start) only applies.
    const bool simple = runMode() == SimpleMode;
    const DiffControlStates states = decideDiffControls(green, simple);
    StaticsCheckBox->setEnabled(states.staticsCheckBox);
    MapCheckBox->setEnabled(states.mapCheckBox);
    CompactCheckBox->setEnabled(states.generate);
    std::optional<WorldGeometry> world;
    if (states.generate) {
        try {
            world = DiffWorld(paths(), true, true, false);
        } catch (const Error&) {
            // Files of different worlds: generate says so; the box keeps its default.
        }
    }
    CompactCheckBox->setChecked(compactPackageChecked(str(settings::readString(settings::CompactPackage)), world));
    GenerateButton->setEnabled(states.generate);
    ApplyButton->setEnabled(states.apply);
    if (states.savePaths) SaveDiffPaths(texts);
}

void TTQDiffForm::checkBoxClick(bool staticsClicked) {
    const PartChoice now =
        keepOnePartChecked({StaticsCheckBox->isChecked(), MapCheckBox->isChecked()}, staticsClicked);
    StaticsCheckBox->setChecked(now.statics);
    MapCheckBox->setChecked(now.map);
}

void TTQDiffForm::CompactCheckBoxClick() {
    settings::writeString(settings::CompactPackage, CompactCheckBox->isChecked() ? "1" : "0");
}

void TTQDiffForm::StaticsCheckBoxClick() { checkBoxClick(true); }
void TTQDiffForm::MapCheckBoxClick() { checkBoxClick(false); }

// --- actions ----------------------------------------------------------------------

DiffPaths TTQDiffForm::paths() const {
    return {str(OStaIdxEdit->text()), str(OStaticsEdit->text()), str(OMapEdit->text()),
            str(MStaIdxEdit->text()), str(MStaticsEdit->text()), str(MMapEdit->text())};
}

// Packages usually live beside the modified world.
QString TTQDiffForm::startFolder() const { return QFileInfo(MMapEdit->text()).absolutePath(); }

// One generate or apply run: the window takes no input until it is over, and however
// it ends the window is usable again, the actions follow the paths, and the status
// label (when the run set it) leaves "BUSY".
void TTQDiffForm::runAction(bool setsStatus, const std::function<void()>& body) {
    runLocked(
        ClientArea,
        [&] {
            if (setsStatus) setMainStatus("BUSY", StatusBusyColour);
            body();
        },
        [&] {
            CheckDiffPaths();
            if (setsStatus) setMainStatus("READY", StatusReadyColour);
        });
}

void TTQDiffForm::GenerateButtonClick() {
    runAction(true, [this] {
        const QString chosen = prompts().saveFileName(this, "Generate Diff", FileFilter, DefaultSuffix,
                                                      startFolder(), false);
        if (chosen.isEmpty()) return;
        const std::string package = DiffPackageName(str(chosen));
        if (fileExists(package) && !prompts().question(this, "TQ-Diff", qstr(diffOverwriteQuestion(package))))
            return;
        ProgressShowing showing;
        const GenerateDiffResult result =
            GenerateDiff(paths(), package,
                         {StaticsCheckBox->isChecked(), MapCheckBox->isChecked(), CompactCheckBox->isChecked()},
                         ProgressShowing::progress());
        log(qstr(PackageSizeText(result.size, result.fullSize)));
        // Shown while the progress window is still up.
        prompts().information(this, CrcValueCaption, qstr(result.crcText));
    });
}

void TTQDiffForm::ApplyButtonClick() {
    runAction(false, [this] {
        const QString chosen = prompts().openFileName(this, "Apply Diff", FileFilter, startFolder());
        if (chosen.isEmpty()) return;
        applyPackage(chosen);
    });
}

void TTQDiffForm::ShowChangesButtonClick() {
    if (fieldColour(OMapEdit) != FieldColour::Green || fieldColour(MMapEdit) != FieldColour::Green) {
        prompts().information(this, "Show changes", "The original and the modified map must both be found (green).");
        return;
    }
    const std::string original = str(OMapEdit->text()), modified = str(MMapEdit->text());
    OverviewRequest request;
    request.map = modified;
    request.radarcol = radarColoursBeside(modified);
    if (request.radarcol.empty()) request.radarcol = radarColoursBeside(original);
    if (request.radarcol.empty()) {
        prompts().information(this, "Show changes",
                              "No radarcol.mul beside the modified or the original map: the picture needs its colours.");
        return;
    }
    runAction(false, [&] {
        // Small enough for a screen: at most about 1024 pixels along the longer side.
        const WorldGeometry world = MapFileWorld(modified);
        request.options.scale = std::max(1, (std::max(world.cellsWide(), world.cellsHigh()) + 1023) / 1024);
        ChangesResult changes;
        {
            ProgressShowing showing;
            changes = renderMapChanges(original, request, ProgressShowing::progress());
        }
        const QString summary = QString::fromStdString(
            groupedNumber(changes.differingBlocks) +
            (changes.differingBlocks == 1 ? " block of the map differs" : " blocks of the map differ") +
            " from the original, marked red (one pixel per " + std::to_string(request.options.scale) + " x " +
            std::to_string(request.options.scale) + " cells)");
        log(summary);
        for (const std::string& warning : changes.overview.warnings) log(QString::fromStdString(warning));
        showChangesPicture(this, changes.overview.picture, "Changes: " + MMapEdit->text(), summary);
    });
}

void TTQDiffForm::applyDroppedPackage(const QString& package) {
    if (!ApplyButton->isEnabled()) {
        prompts().errorCancel(this, "Error", "A package can be applied once the six files below are found (green).");
        return;
    }
    // A drop is easily made by mistake; applying rewrites the modified files. The question
    // comes after what the package holds (a package that cannot be read is refused by apply).
    bool summaryShown = false;
    try {
        summaryShown = showPackageSummary(package);
    } catch (const Error&) {
    }
    if (!prompts().question(this, "Apply Diff", "Apply " + package + " to the modified files?")) return;
    runAction(false, [&] { applyPackage(package, summaryShown); });
}

bool TTQDiffForm::showPackageSummary(const QString& package) {
    if (!IsDiffPackageName(str(package))) return false;
    for (const std::string& line : DiffSummaryLines(SummarizeDiffPackage(str(package)), false)) log(qstr(line));
    return true;
}

void TTQDiffForm::applyPackage(const QString& chosen, bool summaryShown) {
    if (!IsDiffPackageName(str(chosen))) {
        prompts().errorCancel(this, "Error", WrongPackageExtensionMessage);
        return;
    }
    const DiffPaths files = paths();
    const bool rewritesIndex = diffPackageRewritesIndex(str(chosen));
    // The main window's loaded index no longer matches the file once the new one is in
    // place, which may be before a later step fails.
    auto tellIndexWritten = [&] {
        if (rewritesIndex) emit appEvents().staticIndexWritten(qstr(files.modStaIdx));
    };
    // What the package holds, before anything is written; a package that fails its checks
    // is refused here with the message apply would give.
    if (!summaryShown) showPackageSummary(chosen);
    ProgressShowing showing;
    try {
        const ApplyDiffResult applied = ApplyDiff(files, str(chosen), ProgressShowing::progress(),
                                                    [this](const std::string& line) { log(qstr(line)); });
        log(qstr("Applied a " + DiffVersionText(applied.version) + " package"));
    } catch (const DiffCrcError& e) {
        // Nothing has been written.
        prompts().information(this, CrcErrorCaption, qstr(e.what()));
        return;
    } catch (...) {
        tellIndexWritten();
        throw;
    }
    tellIndexWritten();
}

void TTQDiffForm::CloseBtnClick() { close(); }

// --- game folder --------------------------------------------------------------------

void TTQDiffForm::ChooseOriginalFolderClick() {
    const QString folder = askGameFolder(this);
    if (!folder.isEmpty()) useGameFolder(folder, false);
}

void TTQDiffForm::ChooseModifiedFolderClick() {
    const QString folder = askGameFolder(this);
    if (!folder.isEmpty()) useGameFolder(folder, true);
}

void TTQDiffForm::useGameFolder(const QString& folder, bool modifiedSide) {
    std::vector<std::pair<QLineEdit*, PathKind>> all, side;
    for (int i = 0; i < DiffFieldCount; ++i) {
        all.emplace_back(edits_[size_t(i)], diffFields()[size_t(i)].kind);
        // The modified index and statics are typed nowhere here, but a chosen folder is
        // the user's own choice of them.
        if ((i >= 3) == modifiedSide) side.push_back(all.back());
    }
    // The facet the six already name; none yet means the first.
    const int facet = pathFieldsFacet(all).value_or(0);
    log(QString(modifiedSide ? "Modified" : "Original") + " files: looking in " + folder);
    for (const QString& line : fillFromGameFolder(folder, facet, side)) log(line);
}

void TTQDiffForm::log(const QString& line) {
    TQDiffListBox->addLine(line);
}

// --- window -------------------------------------------------------------------------

void TTQDiffForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    guarded(this, [this] { FormShow(); });
}

} // namespace tq
