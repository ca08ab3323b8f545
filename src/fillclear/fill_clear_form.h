#pragma once
#include "fillclear/fill_clear.h"
#include "fillclear/fill_clear_rules.h"

#include "ui/operation_dialog.h"

#include <QString>

#include <array>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;
class QWidget;

namespace tq {

class TUpDown;

// The fill/clear window: the rectangle, the passes, the tile and altitude, the three
// files, and "Go!". Created once at start-up and shown modally from the main window;
// it keeps its contents between showings (only the paths are reloaded).
class TTQFillClearForm : public OperationDialog {
    Q_OBJECT
public:
    explicit TTQFillClearForm(QWidget* parent = nullptr);
    ~TTQFillClearForm() override;

    // Settings store operations.
    struct FillClearPaths {
        QString staIdx, statics, map;
    };
    static FillClearPaths LoadFillClearPaths();
    static void SaveFillClearPaths(const QString& staIdx, const QString& statics, const QString& map);
    void CheckFillClearPaths();

    // What "Go!" hands to the operation: the controls as they stand.
    FillClearInput input() const;
    const WorldGeometry& world() const { return world_; }

    // Event handlers, under the names the rest of the program knows them by.
    void FormCreate();
    void FormShow();
    void MStaIdxEditChange();
    void MStaticsEditChange();
    void MMapEditChange();
    void MapCheckBoxClick();
    void StaticsCheckBoxClick();
    void FillAltitudeEditExit();
    void GoButtonClick();
    void BitBtn1Click();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void fieldChange(int field);
    // Judges the three paths together and, when they are valid, takes their world.
    void judgeFields();
    // The borders' ranges and the whole-world defaults follow `world`; the caption shows it.
    void showWorld(const WorldGeometry& world, bool known);
    void passChange(bool staticsClicked);

    // Controls.
    QWidget* ClientArea;  // everything inside the window: disabled while a run is going
    QWidget* TopPanel;
    QGroupBox* ClearSelectGroupBox;
    QCheckBox* StaticsCheckBox;
    QCheckBox* MapCheckBox;
    QPushButton* GoButton;
    QToolButton* BitBtn1;
    QGroupBox* FillClearAreaGroupBox;
    QLabel* ClearAreaNoteLabel;
    QLabel* ClearAreaTopLabel;
    QLineEdit* ClearAreaTopEdit;
    QLabel* ClearAreaLeftLabel;
    QLineEdit* ClearAreaLeftEdit;
    QLabel* ClearAreaRightLabel;
    QLineEdit* ClearAreaRightEdit;
    QLabel* ClearAreaBottomLabel;
    QLineEdit* ClearAreaBottomEdit;
    QGroupBox* ReplaceGroupBox;
    QLabel* StaticsClearInfoLabel;
    QLabel* FillTileLabel;
    QComboBox* FillTileComboBox;
    QLabel* FillAltitudeLabel;
    QLineEdit* FillAltitudeEdit;
    TUpDown* FillAltitudeUpDown;
    QWidget* FileNamePanel;
    QLabel* StaIdxLabel;
    QLabel* StaticsLabel;
    QLabel* MapLabel;
    QLineEdit* MStaIdxEdit;
    QLineEdit* MStaticsEdit;
    QLineEdit* MMapEdit;
    std::array<QLineEdit*, FillClearFieldCount> edits_{};
    WorldGeometry world_;  // of the files, once their paths are valid (the old clients' before)
};

} // namespace tq
