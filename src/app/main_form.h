#pragma once
#include "app/main_rules.h"
#include "core/static_index.h"

#include <QMainWindow>

#include <memory>

class QAction;
class QCheckBox;
class QDialog;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSplitter;
class QTabWidget;
class QToolButton;

namespace tq {

class LogList;
class TRadioGroup;
class TUpDown;

// The main window: the three path fields, the static index and its block operations
// (GetStaticIndex, GetStaticBlock, Melt!, Freeze!), the log, the mode, and the buttons
// that open the other windows.
class TMainForm : public QMainWindow {
    Q_OBJECT
public:
    explicit TMainForm(QWidget* parent = nullptr);
    ~TMainForm() override;

    // The windows this one opens: the diff and fill/clear windows modally, the map
    // editor modelessly. A button whose window is missing stays disabled.
    struct OtherWindows {
        QDialog* diff = nullptr;
        QDialog* fillClear = nullptr;
        QWidget* mapEdit = nullptr;
    };
    void setOtherWindows(const OtherWindows& windows);

    // Settings store operations of this window.
    struct MainPaths {
        QString staIdx, statics, worldSave;
    };
    static MainPaths LoadMainPaths();
    static void SaveMainPaths(const QString& staIdx, const QString& statics, const QString& worldSave);
    uint8_t AskOrReadMode();
    static void WriteModeSetting(int mode);

    // Event handlers, under the names the rest of the program knows them by.
    void FormShow();
    void StaIdxEditChange();
    void StaticsEditChange();
    void WSCEditChange();
    void XBlockEditExit();
    void YBlockEditExit();
    void GetStaticIndexButtonClick();
    void GetStaticBlockButtonClick();
    void MeltBlockButtonClick();
    void FreezeWorldButtonClick();
    void SharedWorldCheckBoxClick();
    void NormalModeRadioButtonClick();
    void SimpleModeRadioButtonClick();
    void TQDiffButtonClick();
    void FillClearButtonClick();
    void MapEditButtonClick();
    void ConvertMap1Click();
    // File > "Check world…": a folder, checked read-only; the report goes to the log.
    void CheckWorld1Click();
    // File > "Compact statics…": the two statics files of the fields, after a question.
    void CompactStatics1Click();
    void eXit1Click();
    void SpeedButton1Click();
    void WelcometoTerraquill1Click();
    void About1Click();
    // "Choose game folder…" (button, File menu): the dialog, then useGameFolder.
    void ChooseGameFolderClick();
    // Fills the index and statics fields from a folder (chosen or dropped on the window).
    void useGameFolder(const QString& folder);

    void UpdateButtons();
    void ShowGuidance();

    // Another window wrote staidx0.mul: the loaded index is stale.
    void StaticIndexWrittenElsewhere();

    bool indexLoaded() const { return IndexLoaded; }
    bool frozen() const { return Frozen; }
    uint8_t mode() const { return Mode; }
    const StaticIndexBuffer& staticIndex() const { return *StaticIndex; }

    // The folder AutoSelect.txt is read from: the program's own (tests point it elsewhere).
    void setProgramFolder(const QString& folder) { programFolder_ = folder; }

signals:
    void closed();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void buildMenu();
    MainWindowState state() const;
    void setStatus(const QString& text, const QColor& background);
    void setReady();
    void setBusy();
    void log(const QString& line);
    void logNow(const QString& line);  // and repaint the log at once
    void restoreAfterFailure();
    LogSink operationLog();
    template <typename F>
    void runOperation(F body);
    void blockFieldExit(QLineEdit* field, int maximum);
    void checkPaths();
    // The block up-downs' ranges and the caption follow the loaded index's world.
    void showWorld();

    // State of the run.
    std::unique_ptr<StaticIndexBuffer> StaticIndex;
    bool IndexLoaded = false;
    bool Frozen = false;
    uint8_t Mode = NormalMode;
    bool Initializing = false;
    bool freezeChoicesLocked_ = false;
    bool shown_ = false;
    OtherWindows others_;
    QString programFolder_;

    // Controls.
    QToolButton* SpeedButton1;
    QCheckBox* SharedWorldCheckBox;
    QLabel* WorldLabel;
    QWidget* ButtonPanel;
    QPushButton* GetStaticIndexButton;
    QLabel* XBlockLabel;
    QLineEdit* XBlockEdit;
    TUpDown* XBlockUpDown;
    QLabel* YBlockLabel;
    QLineEdit* YBlockEdit;
    TUpDown* YBlockUpDown;
    QPushButton* GetStaticBlockButton;
    QPushButton* MeltBlockButton;
    QPushButton* FreezeWorldButton;
    TRadioGroup* SelectItemsRadioGroup;
    QCheckBox* WritePATCheckBox;
    QLabel* lblStatus;
    QPushButton* FillClearButton;
    QPushButton* TQDiffButton;
    QToolButton* MapEditButton;
    QGroupBox* ModeGroupBox;
    QRadioButton* NormalModeRadioButton;
    QRadioButton* SimpleModeRadioButton;
    QTabWidget* PageControl;
    LogList* MainListBox;
    QSplitter* Splitter;
    LogList* LogListBox;
    QWidget* FileNamePanel;
    QLabel* StaIdxLabel;
    QLineEdit* StaIdxEdit;
    QLabel* StaticsLabel;
    QLineEdit* StaticsEdit;
    QLabel* WSCLabel;
    QLineEdit* WSCEdit;
    QPushButton* ChooseGameFolderButton;
    QAction* ChooseGameFolder1;
    QAction* ConvertMap1;
    QAction* CheckWorld1;
    QAction* CompactStatics1;
    QAction* eXit1;
    QAction* WelcometoTerraquill1;
    QAction* About1;
};

} // namespace tq
