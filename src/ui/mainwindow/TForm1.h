#pragma once
#include "workstation/PointVerdicts.h"
// The main window: tool bar, the three tabs with their six tables, the status
// bar with the progress of long operations. Every handler is one call into the
// workstation logic followed by syncFromState(), which copies the window state
// onto the widgets.
#include "protocol/connection.h"
#include "workstation/TextGrid.h"

#include <QMainWindow>
#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>

class CSystem;
class CWorkstation;
class CRigSession;
class CPlanRunner;
class TPlanForm;
struct TestPlan;
class CResultsRecorder;
class CGridModel;
class CGridView;
class CBusTaskRunner;
class CMessagePanel;
class CStoreReader;
class THistoryForm;
class QTextBrowser;
class QDockWidget;
class QSplitter;
class TEditGeForm;
class TGIGEScaleForm;
class QAction;
class QDoubleSpinBox;
class QLabel;
class QMenu;
class QProgressBar;
class QPushButton;
class QStatusBar;
class QTabWidget;
class QTimer;
class QToolBar;
class QWidget;

class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    // baseDir: the folder of config.ini, Log/ and BACKUP/; empty: the program's folder.
    explicit TForm1(const std::string& baseDir = std::string(), QWidget* parent = nullptr);
    ~TForm1() override;

    // The reference flow dialog the engine shows at the end of every cycle (null: none).
    void SetEditGeForm(TEditGeForm* form);
    // The calibration editor behind the "Масштабирование GiGe" items (null: none).
    void SetGIGEScaleForm(TGIGEScaleForm* form);

    connection MeterConnection;
    std::string ConfigPath;
    std::unique_ptr<CRigSession> Rig;   // config.ini [RIG]; outlives System's cycles
    std::unique_ptr<CSystem> System;
    std::unique_ptr<CWorkstation> Ws;
    std::unique_ptr<CResultsRecorder> Results;   // the results store; outlives Ws
    // Opens the report made (the desktop's default application).
    std::function<bool(const QString&)> ReportOpener;

    // Controls, named as on the form.
    QToolBar* ToolBar1 = nullptr;
    QAction* ButtonUpdateInfo = nullptr;
    QAction* ButtonStartPause = nullptr;
    QAction* ButtonStop = nullptr;
    QAction* SortGiGeButton = nullptr;
    QAction* InvertGiGeButton = nullptr;
    QAction* WordReportButton = nullptr;
    QToolBar* ToolBar2 = nullptr;
    QAction* CreateGiGe = nullptr;
    QAction* SaveGiGeToFile = nullptr;
    QAction* SaveGiGeToDevice = nullptr;
    QTabWidget* PageControl1 = nullptr;
    CGridView* StringGrid1 = nullptr;
    CGridView* StringGrid2 = nullptr;
    CGridView* StringGrid3 = nullptr;
    CGridView* StringGrid4 = nullptr;
    CGridView* StringGrid5 = nullptr;
    CGridView* StringGrid6 = nullptr;
    CGridView* VerdictGrid = nullptr;
    CGridView* PointsGrid = nullptr;
    QDoubleSpinBox* ToleranceEdit = nullptr;
    QStatusBar* StatusBar1 = nullptr;
    std::array<QLabel*, 2> StatusPanels{};
    QWidget* ProgressPanel = nullptr;
    QProgressBar* ProgressBar = nullptr;
    QPushButton* CancelButton = nullptr;
    QTimer* Timer1 = nullptr;
    QSplitter* Splitter1 = nullptr;
    QDockWidget* MessageDock = nullptr;
    CMessagePanel* MessagePanel = nullptr;
    QMenu* N1 = nullptr;
    QMenu* N2 = nullptr;
    QMenu* N3 = nullptr;
    QAction* HistoryItem = nullptr;
    QTextBrowser* MeterCard = nullptr;   // the selected meter from the results store
    QLabel* StoreStatus = nullptr;       // the records waiting for the store
    THistoryForm* HistoryForm = nullptr;
    QAction* Connection = nullptr;
    QAction* BusMonitor = nullptr;
    QAction* PlanAction = nullptr;
    QAction* N5 = nullptr;
    QAction* N6 = nullptr;
    QMenu* PopupMenu1 = nullptr;
    QAction* N4 = nullptr;
    QMenu* PopupMenu2 = nullptr;
    QAction* PopupMenuAppendCurGiGe = nullptr;
    QAction* PopupMenuScaleGiGe = nullptr;
    QAction* PopupMenuRestoreGiGe = nullptr;
    QMenu* PopupMenu3 = nullptr;
    QAction* MenuItem2 = nullptr;
    QAction* MenuItem3 = nullptr;
    QAction* MenuItemProfile = nullptr;          // the meter's verification profile
    QPushButton* DefaultProfileButton = nullptr; // [default] of profiles.ini
    CBusTaskRunner* BusTasks = nullptr;

    // Verification tolerance, ± per cent.
    double Tolerance() const { return m_dTolerance; }
    // The per-meter verdicts under the verification table.
    const CTextGrid& VerdictRow() const { return m_verdictRow; }
    // Each point's error with U and the limit, one row per flow.
    const CTextGrid& PointsRow() const { return m_pointsGrid; }
    // Reads profiles.ini of the data folder and the reference of config.ini.
    void LoadJudgement();

    // Copies the window state and the tables onto the widgets.
    void syncFromState();

    // [RESULTS] ask_operator=1: the operator's name before the first series of
    // the run (suggested: the login name); nullopt when the operator declines.
    std::function<std::optional<std::string>(const std::string& suggested)> askOperatorName;
    // The card shows this meter (0: none); a reading of the store is under way.
    uint32_t CardNumber() const { return m_nCardNumber; }
    bool CardLoading() const;

public slots:
    void FormActivate();
    void PageControl1Change(int page);
    void ButtonUpdateInfoClick();
    void ButtonStartPauseClick();
    void ButtonStopClick();
    void SortGiGeButtonClick();
    void InvertGiGeButtonClick();
    void WordReportButtonClick();
    void MakeReport(unsigned formats);
    void Timer1Timer();
    void N4Click();
    void CreateGiGeClick();
    void SaveGiGeToFileClick();
    void SaveGiGeToDeviceClick();
    void PopupMenuAppendCurGiGeClick();
    void PopupMenuScaleGiGeClick();
    void PopupMenuRestoreGiGeClick();
    void PopupMenu3ScaleGiGeClick();
    void PopupMenu3RestoreGiGeClick();
    void PopupMenu3ProfileClick();
    void DefaultProfileButtonClick();
    void StringGrid1Exit();
    void ConnectionClick();
    void N5Click();
    void BusMonitorClick();
    // "Файл" → "План испытаний…": the plan window, made on first use.
    void PlanClick();
    TPlanForm* PlanForm() const { return m_pPlanForm; }
    // Fills the meter list from the plan, applies it and runs the plan on the bus thread.
    void RunPlan(const TestPlan& plan);
    void N6Click();
    void CancelClick();
    void ToleranceChanged(double tolerance);
    void HistoryClick();
    // The card of the meter in the selected row; again: also when it shows that meter.
    void RefreshMeterCard(bool again = false);
    // The recorder's status text, asked for off the GUI thread.
    void RefreshStoreStatus();

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void FormCreate();
    // The profile dialog for a section of profiles.ini; the verdicts follow what it saved.
    void EditProfile(const std::string& section);
    std::string ProfilesPath() const;
    void OpenResultsStore(const std::string& dir);
    void OpenRig();
    void FormClose();
    void BuildMenus();
    void BuildToolBar();
    void BuildStatusBar();
    void BuildMessagePanel();
    void RestorePlacement();
    void BuildTabs();
    QWidget* BuildSetPointsTab();
    QWidget* BuildCalibrationTab();
    QWidget* BuildVerificationTab();
    CGridView* MakeGrid(CTextGrid& grid, const QString& name, std::function<bool(int, int)> selectable);
    void ConnectContextMenu(CGridView* view, QMenu* menu, bool geColumnOnly);
    void ConnectProgress();
    void SyncSlotMarks();

    // Runs a bus operation off the GUI thread; the window stays live, the
    // tables show what they held when it began.
    int RunOnBus(const std::function<int()>& work);
    void BusyChanged(bool busy);
    void UpdateProgressPanel();
    void PostToGui(std::function<void()> fn);
    // Asks the operator's name once when the start begins the run's first series.
    bool AskOperatorOnce();
    // Until the dialogs of later work exist.

    std::string m_sBaseDir;
    TGIGEScaleForm* m_pScaleForm = nullptr;
    QString m_sConnectionText;
    CTextGrid m_verdictRow;
    CTextGrid m_pointsGrid;
    std::vector<MeterJudgement> m_judged;
    QLabel* ProfileErrors = nullptr;
    double m_dTolerance;
    std::array<int, 10> m_meterPictures;
    bool m_bProgressVisible = false;
    bool m_bInTimer = false;
    bool m_bActivatePending = false;
    bool m_bCloseWhenIdle = false;
    bool m_bCloseConfirmed = false;   // the operator agreed to end the series by closing
    bool m_bShownOnce = false;
    std::string m_sSettingsProblems;   // config.ini's errors and warnings, told once
    std::string m_sRigProblem;         // why [RIG] cannot work, asked once
    TEditGeForm* m_pEditGeForm = nullptr;
    TPlanForm* m_pPlanForm = nullptr;
    CPlanRunner* m_pPlanRunner = nullptr;   // while a plan runs
    std::atomic<bool> m_bPlanCancel{false};
    bool m_bSettingsErrors = false;
    std::vector<CGridModel*> m_models;
    CStoreReader* m_pCardReader = nullptr;
    uint32_t m_nCardNumber = 0;
    unsigned m_nCardNo = 0;
    bool m_bAskOperator = false;
    bool m_bOperatorAsked = false;
    bool m_bWasInSeries = false;
    std::thread m_statusThread;
    bool m_bStatusBusy = false;    // a status thread's answer is out (GUI thread only)
    bool m_bStatusAgain = false;
};
