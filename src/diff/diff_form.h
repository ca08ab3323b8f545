#pragma once
#include "diff/diff.h"
#include "diff/diff_rules.h"

#include "ui/operation_dialog.h"

#include <QString>

#include <array>

class QAction;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;
class QWidget;

namespace tq {

class LogList;

// The diff window: the six world files, which parts a package covers, and the two
// actions, generating a ".tq2" package and applying one. Created once at start-up and
// shown modally from the main window; it keeps its contents between showings.
class TTQDiffForm : public OperationDialog {
    Q_OBJECT
public:
    explicit TTQDiffForm(QWidget* parent = nullptr);
    ~TTQDiffForm() override;

    // Settings store operations, the six texts in field order (DiffField).
    using DiffPathTexts = std::array<QString, DiffFieldCount>;
    static DiffPathTexts LoadDiffPaths();
    static void SaveDiffPaths(const DiffPathTexts& texts);
    void CheckDiffPaths();

    // Event handlers, under the names the rest of the program knows them by.
    void FormShow();
    void OStaIdxEditChange();
    void OStaticsEditChange();
    void OMapEditChange();
    void MStaIdxEditChange();
    void MStaticsEditChange();
    void MMapEditChange();
    void StaticsCheckBoxClick();
    void MapCheckBoxClick();
    void CompactCheckBoxClick();
    void GenerateButtonClick();
    void ApplyButtonClick();
    // The modified map's overview with the blocks that differ from the original marked.
    void ShowChangesButtonClick();
    void CloseBtnClick();
    // "Choose game folder…" for one side: the dialog, then useGameFolder.
    void ChooseOriginalFolderClick();
    void ChooseModifiedFolderClick();
    // Fills the three fields of one side from a folder (chosen or dropped on the window).
    void useGameFolder(const QString& folder, bool modifiedSide);
    // A package dropped on the window: applied, as if chosen in "Apply Diff"'s dialog.
    void applyDroppedPackage(const QString& package);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void buildControls();
    void fieldChange(DiffField field);
    void judgeFields();
    void checkBoxClick(bool staticsClicked);
    QLineEdit* edit(DiffField field) const { return edits_[size_t(field)]; }
    DiffPaths paths() const;
    QString startFolder() const;
    void runAction(bool setsStatus, const std::function<void()>& body);
    // Logs what the package holds (DiffSummaryLines); false for a name apply refuses.
    bool showPackageSummary(const QString& package);
    void applyPackage(const QString& package, bool summaryShown = false);
    void log(const QString& line);

    // Controls.
    QWidget* ClientArea;  // everything inside the window: disabled while a run is going
    QWidget* ConfigurationPanel;
    QGroupBox* GenerateSelectGroupBox;
    QCheckBox* StaticsCheckBox;
    QCheckBox* MapCheckBox;
    QCheckBox* CompactCheckBox;
    QGroupBox* ButtonGroupBox;
    QPushButton* GenerateButton;
    QPushButton* ApplyButton;
    QPushButton* ShowChangesButton;
    QToolButton* CloseBtn;
    QToolButton* ChooseGameFolderButton;
    QAction* ChooseOriginalFolder1;
    QAction* ChooseModifiedFolder1;
    LogList* TQDiffListBox;
    QWidget* FileNamePanel;
    QLabel* OriginalLabel;
    QLabel* ModifiedLabel;
    QLabel* StaIdxLabel;
    QLabel* StaticsLabel;
    QLabel* MapLabel;
    QLineEdit* OStaIdxEdit;
    QLineEdit* OStaticsEdit;
    QLineEdit* OMapEdit;
    QLineEdit* MStaIdxEdit;
    QLineEdit* MStaticsEdit;
    QLineEdit* MMapEdit;
    std::array<QLineEdit*, DiffFieldCount> edits_{};
};

} // namespace tq
