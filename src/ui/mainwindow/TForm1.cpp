#include "ui/mainwindow/TForm1.h"

#include "ui/platform/BusTask.h"
#include "ui/platform/ProgramTitle.h"
#include "ui/grid/GridModel.h"
#include "ui/grid/GridView.h"
#include "ui/dialogs/TBusMonitor.h"
#include "ui/dialogs/TEditGeForm.h"
#include "ui/mainwindow/MessagePanel.h"
#include "ui/mainwindow/ToolIcons.h"
#include "ui/editor/TGIGEScaleForm.h"
#include "ui/history/StoreReader.h"
#include "ui/history/THistoryForm.h"
#include "ui/platform/WindowPlacement.h"
#include "common/AppPaths.h"
#include "common/CommonUtils.h"
#include "common/OperatorInterface.h"
#include "common/SettingsFile.h"
#include "common/DebugOutput.h"
#include "common/WriteJournal.h"
#include "measurement/CSystem.h"
#include "results/ResultsRecorder.h"
#include "results/StoreLocation.h"
#include "workstation/MeterHistory.h"
#include "workstation/SeriesResults.h"
#include "workstation/VerificationVerdict.h"
#include "workstation/Workstation.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDockWidget>
#include <QInputDialog>
#include <QLabel>
#include "workstation/RigSession.h"

#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QSplitter>
#include <QTabWidget>
#include <QTextBrowser>
#include <QThread>
#include <QTimer>
#include <QToolBar>

TForm1::TForm1(const std::string& baseDir, QWidget* parent)
    : QMainWindow(parent), MeterConnection(std::string()), m_sBaseDir(baseDir), m_verdictRow(11, 1, 0, 0), m_pointsGrid(11, 1, 0, 1)
{
    System = std::make_unique<CSystem>(&MeterConnection);
    Ws = std::make_unique<CWorkstation>(MeterConnection, *System);
    if (!m_sBaseDir.empty())
        Ws->Folders.SetBaseDir(m_sBaseDir);
    m_meterPictures.fill(-1);
    FormCreate();
}

TForm1::~TForm1()
{
    Timer1->stop();
    // No answer of the store comes back to widgets that are going.
    delete HistoryForm;
    HistoryForm = nullptr;
    delete m_pCardReader;
    m_pCardReader = nullptr;
    // No handler runs while the widgets go, and the views go before the tables they show.
    for (QObject* child : findChildren<QObject*>())
        child->disconnect(this);
    delete PageControl1;
    PageControl1 = nullptr;
    TBusMonitor::Release();   // stops tracing the connection
    // The worker stops before the tables and the connection go.
    System->SetReferenceFlowPrompt({});
    System->SetCycleHooks({});
    Ws.reset();
    System.reset();
    CWriteJournal::SetRecordSink({});
    if (m_statusThread.joinable())
        m_statusThread.join();
    Results.reset();
}

// Every series goes into the results store of [RESULTS] database (default
// results.sqlite in the data folder); the journal's entries too.
void TForm1::OpenResultsStore(const std::string& dir)
{
    const ResultsSettings settings = LoadResultsSettings(ConfigPath);
    StoreLocation where;
    std::string error;
    if (!ParseStoreLocation(settings.database.empty() ? dir + "/results.sqlite" : settings.database, where, error)) {
        DebugOutput("База результатов: " + error);
        return;
    }
    Results = std::make_unique<CResultsRecorder>(where, dir + "/results-spool.sqlite");
    if (!settings.station.empty())
        Results->station = settings.station;
    m_bAskOperator = settings.askOperator;
    m_pCardReader = new CStoreReader(where, this);
    Ws->Results.SetRecorder(Results.get());
    Ws->Results.tolerance = m_dTolerance;
    CResultsRecorder* recorder = Results.get();
    CWriteJournal::SetRecordSink([recorder](const WriteJournalEntry& e) { recorder->AddWrite(WriteRecordOf(e)); });
}

std::string TForm1::ProfilesPath() const
{
    return (m_sBaseDir.empty() ? DataDir() : m_sBaseDir) + "/" + kProfilesFileName;
}

void TForm1::LoadJudgement()
{
    const std::vector<std::string> errors = Ws->LoadJudgement(ProfilesPath(), ConfigPath, m_dTolerance);
    std::string text;
    for (const std::string& e : errors)
        text += (text.empty() ? "" : "\n") + e;
    if (ProfileErrors) {
        ProfileErrors->setText(QString::fromStdString(text));
        ProfileErrors->setVisible(!text.empty());
    }
}

void TForm1::FormCreate()
{
    const std::string dir = m_sBaseDir.empty() ? DataDir() : m_sBaseDir;
    ConfigPath = dir + (!dir.empty() && dir.back() == '/' ? "" : "/") + "config.ini";
    CSettingsFile settings;   // checked once at start; what is wrong is told when the window shows
    settings.Load(ConfigPath);
    m_dTolerance = LoadTolerance(settings);
    if (!MeterConnection.LoadSettings(settings) && settings.Exists() && settings.Errors().empty())
        settings.AddWarning(MeterConnection.MissingSectionText(ConfigPath));
    m_sSettingsProblems.clear();
    for (const auto* list : {&settings.Errors(), &settings.Warnings()})
        for (const std::string& line : *list)
            m_sSettingsProblems += (m_sSettingsProblems.empty() ? "" : "\n") + line;
    m_bSettingsErrors = !settings.Errors().empty();
    OpenResultsStore(dir);
    OpenRig();
    m_pointsGrid.SetCell(0, 0, "U, предел");

    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(ProgramTitle());
    setFont(QFont(QStringLiteral("Tahoma"), 8));

    BusTasks = new CBusTaskRunner(this);
    connect(BusTasks, &CBusTaskRunner::busyChanged, this, &TForm1::BusyChanged);
    Timer1 = new QTimer(this);
    Timer1->setInterval(1000);
    connect(Timer1, &QTimer::timeout, this, &TForm1::Timer1Timer);
    askOperatorName = [this](const std::string& suggested) -> std::optional<std::string> {
        bool ok = false;
        const QString name = QInputDialog::getText(this, QStringLiteral("Оператор"), QStringLiteral("Оператор серии:"),
                                                   QLineEdit::Normal, QString::fromStdString(suggested), &ok);
        if (!ok)
            return std::nullopt;
        return name.trimmed().toStdString();
    };

    BuildMenus();
    BuildToolBar();
    BuildTabs();
    BuildStatusBar();
    BuildMessagePanel();
    ConnectProgress();
    resize(818, 689 + menuBar()->sizeHint().height() + MessageDock->sizeHint().height());
    RestorePlacement();
    syncFromState();
}

void TForm1::BuildMessagePanel()
{
    MessageDock = new QDockWidget(QStringLiteral("Сообщения"), this);
    MessageDock->setObjectName(QStringLiteral("MessageDock"));
    MessageDock->setFeatures(QDockWidget::NoDockWidgetFeatures);
    MessagePanel = new CMessagePanel(MessageDock);
    MessagePanel->setMinimumHeight(3 * MessagePanel->fontMetrics().height() + 8);
    MessagePanel->setMaximumHeight(6 * MessagePanel->fontMetrics().height() + 8);
    MessageDock->setWidget(MessagePanel);
    addDockWidget(Qt::BottomDockWidgetArea, MessageDock);
}

void TForm1::RestorePlacement()
{
    RestoreWindowPlacement(this, ConfigPath, "Form1");
    RestoreSplitterSizes(Splitter1, ConfigPath, "Splitter1");
}

void TForm1::SetGIGEScaleForm(TGIGEScaleForm* form)
{
    m_pScaleForm = form;
    if (form)
        form->SetPlacementFile(ConfigPath);
}

// [RIG] reference=modbus: the reference gives Ge. A rig that cannot work is
// told when the window shows; the operator chooses manual entry or to quit.
void TForm1::OpenRig()
{
    Rig = std::make_unique<CRigSession>();
    std::string why;
    if (!Rig->Load(ConfigPath, why))
        m_sRigProblem = why;
}

void TForm1::SetEditGeForm(TEditGeForm* form)
{
    m_pEditGeForm = form;
    if (!form) {
        System->SetReferenceFlowPrompt({});
        System->SetCycleHooks({});
        return;
    }
    if (Rig && Rig->Active()) {
        System->SetCycleHooks(Rig->Reference().Hooks());
        Ws->Reference.geSource = Rig->Reference().SourceText();
        Ws->Results.SetWaterSource([this] {
            return CSeriesResults::Water{Rig->Reference().WaterTemperature(), Rig->Reference().WaterPressure()};
        });
        System->SetReferenceFlowPrompt(Rig->Prompt([form](double ge, CRigReferenceFlow& reference) {
            return form->AskWith(ge, QString::fromStdString(reference.SourceText()));
        }));
        return;
    }
    System->SetReferenceFlowPrompt([form] { return form->Ask(); });
}

void TForm1::FormActivate()
{
    if (BusTasks->Busy()) {
        m_bActivatePending = true;
        return;
    }
    MeterConnection.LoadSettings(ConfigPath);
    if (!m_sSettingsProblems.empty()) {
        const std::string text = "Настройки " + m_sSettingsProblems;
        const MsgIcon icon = m_bSettingsErrors ? MsgIcon::Error : MsgIcon::Warning;
        m_sSettingsProblems.clear();
        QTimer::singleShot(0, this, [text, icon] { Operator().MessageDialog(icon, text); });
    }
    if (!m_sRigProblem.empty()) {
        const std::string text = "Стенд (config.ini [RIG]) не работает:\n" + m_sRigProblem +
                                 "\n\nВводить эталонный расход вручную? \"Нет\" закрывает программу.";
        m_sRigProblem.clear();
        QTimer::singleShot(0, this, [this, text] {
            if (!Operator().Confirm(text))
                close();
        });
    }
    Ws->Tables.SetTitles();
    m_sConnectionText = QString::fromStdString(
        MeterConnection.m_sPort == "TCP/IP" ? "TCP/IP " + MeterConnection.m_sIp + ":" + MeterConnection.m_sTcpIpPort
                                            : MeterConnection.m_sPort + ", " + std::to_string(MeterConnection.m_nSpeed));
    syncFromState();
    StringGrid1->ShowGridCurrent();
    RefreshStoreStatus();
}

void TForm1::FormClose()
{
    MeterConnection.SaveSettings(ConfigPath);
    SaveTolerance(ConfigPath, m_dTolerance);
    SaveWindowPlacement(this, ConfigPath, "Form1");
    SaveSplitterSizes(Splitter1, ConfigPath, "Splitter1");
}

bool TForm1::event(QEvent* e)
{
    // Shown the first time counts as activated, also where no window manager activates it.
    if (e->type() == QEvent::WindowActivate || (e->type() == QEvent::Show && !m_bShownOnce)) {
        m_bShownOnce = true;
        FormActivate();
    }
    return QMainWindow::event(e);
}

void TForm1::closeEvent(QCloseEvent* e)
{
    // Closing ends the series: asked first while its rows are in no report.
    if (!m_bCloseConfirmed && !Ws->State.PageChangeAllowed) {
        if (!ConfirmSeriesEnd(Ws->Series.Reported, Ws->Results.SeriesStored())) {
            e->ignore();
            return;
        }
        m_bCloseConfirmed = true;
    }
    if (BusTasks->Busy()) {
        // The running operation ends first; the window closes after it.
        m_bCloseWhenIdle = true;
        BusTasks->Cancel();
        e->ignore();
        return;
    }
    Timer1->stop();
    FormClose();
    m_bCloseConfirmed = false;
    e->accept();
}

void TForm1::syncFromState()
{
    if (BusTasks->Busy())
        return;
    const CWindowState& s = Ws->State;
    ButtonUpdateInfo->setEnabled(s.ButtonUpdateInfoEnabled);
    ButtonStartPause->setEnabled(s.ButtonStartPauseEnabled);
    ButtonStartPause->setIcon(ToolIcon(s.StartPauseImage));
    ButtonStartPause->setData(s.StartPauseImage);
    ButtonStop->setEnabled(s.ButtonStopEnabled);
    InvertGiGeButton->setEnabled(s.InvertGiGeEnabled);
    if (s.Timer1Enabled && !Timer1->isActive())
        Timer1->start();
    else if (!s.Timer1Enabled && Timer1->isActive())
        Timer1->stop();
    if (PageControl1->currentIndex() != s.ActivePage) {
        const QSignalBlocker block(PageControl1);
        PageControl1->setCurrentIndex(s.ActivePage);
    }

    std::array<int, 10> pictures;
    pictures.fill(-1);
    if (s.Timer1Enabled)
        pictures = m_meterPictures;
    StringGrid2->GridModel()->SetHeaderPictures(pictures);
    StringGrid3->GridModel()->SetHeaderPictures(pictures);

    SyncSlotMarks();
    // The end of a series: the card and the waiting records may have changed.
    const bool inSeries = Results && Results->InSeries();
    if (m_bWasInSeries && !inSeries) {
        RefreshMeterCard(true);
        RefreshStoreStatus();
    } else {
        RefreshMeterCard(false);
    }
    m_bWasInSeries = inSeries;
    m_judged = Ws->JudgeVerification();
    FillJudgedVerdictRow(m_verdictRow, m_judged);
    FillPointsGrid(m_pointsGrid, m_judged);
    for (CGridModel* model : m_models)
        model->Refresh();
}

void TForm1::SyncSlotMarks()
{
    // The meters' states from the window state, as marks on their columns.
    const CWindowState& s = Ws->State;
    static const QColor kRed(220, 50, 40), kOrange(240, 150, 30), kYellow(230, 210, 40);
    std::array<CGridModel::HeaderMark, 10> series{}, pairs{};
    for (size_t i = 0; i < series.size(); ++i) {
        if (s.SlotNoAnswer[i])
            series[i] = {kRed, QStringLiteral("Счетчик не отвечает")};
        else if (s.SlotResultMissing[i])
            series[i] = {kOrange, QStringLiteral("Нет результата счетчика в последней строке")};
        else if (!s.ModelSet && s.SlotOnBaseModel[i])
            series[i] = {kYellow, QStringLiteral("В счетчике осталась базовая модель: "
                                                 "«Завершение цикла измерений» повторит восстановление")};
    }
    for (uint32_t number : s.ParamsNotWritten) {
        const int slot = System->FindSlot(number);
        if (slot >= 0 && slot < 10)
            pairs[static_cast<size_t>(slot)] = {kOrange, QStringLiteral("Настроечные параметры не записаны")};
    }
    for (const CWindowState::IncompleteWrite& w : s.IncompleteWrites) {
        const int slot = System->FindSlot(w.Number);
        if (slot >= 0 && slot < 10)
            pairs[static_cast<size_t>(slot)] = {
                kRed, QStringLiteral("Записано %1 из %2 пар; исходные пары: %3 («Возврат к исходным GiGe»)")
                          .arg(w.PairsWritten)
                          .arg(w.PairsTotal)
                          .arg(QString::fromStdString(w.BackupFile))};
    }
    StringGrid2->GridModel()->SetHeaderMarks(series);
    StringGrid3->GridModel()->SetHeaderMarks(series);
    StringGrid4->GridModel()->SetHeaderMarks(pairs);
    const QString message = QString::fromStdString(s.CycleMessage);
    StatusPanels[0]->setText(message.isEmpty() ? m_sConnectionText : message);
    StatusPanels[0]->setToolTip(message);
}

int TForm1::RunOnBus(const std::function<int()>& work)
{
    if (BusTasks->Busy())
        return -1;
    return BusTasks->Run(work);
}

void TForm1::BusyChanged(bool busy)
{
    for (CGridModel* model : m_models)
        busy ? model->Freeze() : model->Thaw();
    menuBar()->setEnabled(!busy);
    ToolBar1->setEnabled(!busy);
    PageControl1->setEnabled(!busy);
    UpdateProgressPanel();
    if (busy)
        return;
    if (m_bCloseWhenIdle) {
        m_bCloseWhenIdle = false;
        QTimer::singleShot(0, this, &QWidget::close);
    }
    if (m_bActivatePending) {
        m_bActivatePending = false;
        QTimer::singleShot(0, this, &TForm1::FormActivate);
    }
}

void TForm1::PostToGui(std::function<void()> fn)
{
    if (QThread::currentThread() == thread())
        fn();
    else
        QMetaObject::invokeMethod(this, std::move(fn), Qt::QueuedConnection);
}

void TForm1::ConnectProgress()
{
    Ws->Progress.onVisible = [this](bool visible) {
        PostToGui([this, visible] {
            m_bProgressVisible = visible;
            UpdateProgressPanel();
        });
    };
    Ws->Progress.onPosition = [this](int position) {
        PostToGui([this, position] {
            ProgressBar->setValue(position);
            // The bar moves even while the GUI thread itself is busy.
            ProgressBar->repaint();
        });
    };
}

void TForm1::UpdateProgressPanel()
{
    const bool busy = BusTasks->Busy();
    ProgressPanel->setGeometry(StatusBar1->rect());
    ProgressPanel->setVisible(m_bProgressVisible || busy);
    ProgressBar->setVisible(m_bProgressVisible || busy);
    CancelButton->setVisible(busy);
    CancelButton->setEnabled(busy && !BusTasks->Cancelled());
    if (ProgressPanel->isVisible())
        ProgressPanel->raise();
}

bool TForm1::eventFilter(QObject* watched, QEvent* e)
{
    if (watched == StatusBar1 && e->type() == QEvent::Resize)
        ProgressPanel->setGeometry(StatusBar1->rect());
    return QMainWindow::eventFilter(watched, e);
}

CGridView* TForm1::MakeGrid(CTextGrid& grid, const QString& name, std::function<bool(int, int)> selectable)
{
    auto* model = new CGridModel(grid, std::move(selectable), this);
    m_models.push_back(model);
    return new CGridView(model, name);
}

void TForm1::HistoryClick()
{
    if (!Results) {
        Operator().MessageDialog(MsgIcon::Error, "База результатов не задана: см. [RESULTS] database в " + ConfigPath);
        return;
    }
    if (!HistoryForm) {
        HistoryForm = new THistoryForm(Results->Location(), Ws->Folders.BaseDir(), ShareDir() + "/Matrix/шаблон.docx", this);
        HistoryForm->setAttribute(Qt::WA_DeleteOnClose, false);
    }
    HistoryForm->ShowForMeter(Ws->Tables.MeterNumberOfRow(Ws->Tables.StringGrid1.Row()));
}

bool TForm1::CardLoading() const { return m_pCardReader && m_pCardReader->Busy() > 0; }

void TForm1::RefreshMeterCard(bool again)
{
    if (!MeterCard || !m_pCardReader)
        return;
    const CTextGrid& list = Ws->Tables.StringGrid1;
    const uint32_t number = list.Row() >= list.FixedRows() ? Ws->Tables.MeterNumberOfRow(list.Row()) : 0;
    if (number == m_nCardNumber && !again)
        return;
    m_nCardNumber = number;
    const unsigned no = ++m_nCardNo;
    if (number == 0) {
        MeterCard->clear();
        return;
    }
    auto card = std::make_shared<::MeterCard>();
    m_pCardReader->Run([card, number](CResultStore& store) { *card = LoadMeterCard(store, number); },
                       [this, card, no](const std::string& error) {
                           if (no != m_nCardNo)
                               return;   // another meter was selected meanwhile
                           MeterCard->setPlainText(QString::fromStdString(
                               error.empty() ? MeterCardText(*card) : "База результатов: " + error));
                       });
}

void TForm1::RefreshStoreStatus()
{
    // Pending() reads the spool under the recorder's lock, which a delivery
    // to an unreachable server holds for seconds: asked on a thread.
    // A request while one is out is asked again when that one is back.
    if (!Results)
        return;
    if (m_bStatusBusy) {
        m_bStatusAgain = true;
        return;
    }
    m_bStatusBusy = true;
    if (m_statusThread.joinable())
        m_statusThread.join();
    CResultsRecorder* recorder = Results.get();
    m_statusThread = std::thread([this, recorder] {
        const QString text = QString::fromStdString(recorder->StatusText());
        QMetaObject::invokeMethod(
            this,
            [this, text] {
                StoreStatus->setText(text);
                StoreStatus->setVisible(!text.isEmpty());
                m_bStatusBusy = false;
                if (m_bStatusAgain) {
                    m_bStatusAgain = false;
                    RefreshStoreStatus();
                }
            },
            Qt::QueuedConnection);
    });
}

bool TForm1::AskOperatorOnce()
{
    if (!Results || !m_bAskOperator || m_bOperatorAsked || !Ws->State.StartBeginsSeries() || !askOperatorName)
        return true;
    const std::optional<std::string> name = askOperatorName(Results->operatorName);
    if (!name || name->empty())
        return false;   // no series without its operator
    Results->operatorName = *name;
    m_bOperatorAsked = true;
    return true;
}
