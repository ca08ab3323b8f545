#pragma once
#include "diff/diff.h"
#include "diff/diff_window.h"

#include <QDialog>
#include <QString>

#include <array>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QToolButton;
class QWidget;

namespace tq {

// The diff window: the six world files, which parts a package covers, and the two
// actions, generating a ".tq2" package and applying one. Created once at start-up and
// shown modally from the main window; it keeps its contents between showings.
class TTQDiffForm : public QDialog {
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
    void GenerateButtonClick();
    void ApplyButtonClick();
    void CloseBtnClick();

    bool running() const { return running_; }

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    void buildControls();
    void fieldChange(DiffField field);
    void checkBoxClick(bool staticsClicked);
    QLineEdit* edit(DiffField field) const { return edits_[size_t(field)]; }
    DiffPaths paths() const;
    QString startFolder() const;
    template <typename F>
    void runAction(bool setsStatus, F body);

    bool running_ = false;

    // Controls.
    QWidget* ClientArea;  // everything inside the window: disabled while a run is going
    QWidget* ConfigurationPanel;
    QGroupBox* GenerateSelectGroupBox;
    QCheckBox* StaticsCheckBox;
    QCheckBox* MapCheckBox;
    QGroupBox* ButtonGroupBox;
    QPushButton* GenerateButton;
    QPushButton* ApplyButton;
    QToolButton* CloseBtn;
    QListWidget* TQDiffListBox;
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
