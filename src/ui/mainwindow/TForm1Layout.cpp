// The widgets of the main window: menus, tool bars, tabs with their tables,
// the status bar with the progress panel.
#include "ui/grid/GridModel.h"
#include "ui/grid/GridView.h"
#include "ui/grid/MaskDelegate.h"
#include "ui/mainwindow/ProtocolReportUi.h"
#include "ui/mainwindow/TForm1.h"
#include "ui/mainwindow/ToolIcons.h"
#include "workstation/CellNumbers.h"
#include "workstation/MainTables.h"
#include "workstation/VerificationVerdict.h"
#include "workstation/Workstation.h"

#include <QAction>
#include <QDoubleSpinBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <QTextBrowser>
#include <QTabWidget>
#include <QToolBar>
#include <QVBoxLayout>

namespace {
const QColor kPassColour(196, 238, 196);
const QColor kFailColour(250, 196, 196);
const QColor kConditionalColour(250, 226, 150);

QColor PointColour(EPointVerdict verdict)
{
    switch (verdict) {
    case EPointVerdict::Pass:
        return kPassColour;
    case EPointVerdict::Fail:
        return kFailColour;
    case EPointVerdict::Conditional:
        return kConditionalColour;
    default:
        return QColor();
    }
}

const MeterJudgement* MeterOfColumn(const std::vector<MeterJudgement>& meters, int col)
{
    for (const MeterJudgement& m : meters)
        if (m.slot + 1 == col)
            return &m;
    return nullptr;
}

QAction* ToolButton(QToolBar* bar, const char* name, const char* hint, int picture)
{
    QAction* action = bar->addAction(ToolIcon(picture), QString::fromUtf8(hint));
    action->setObjectName(QString::fromLatin1(name));
    action->setToolTip(QString::fromUtf8(hint));
    action->setStatusTip(QString::fromUtf8(hint));
    action->setData(picture);
    if (QWidget* button = bar->widgetForAction(action)) {
        button->setObjectName(QString::fromLatin1(name));
        button->setFixedSize(31, 30);
    }
    return action;
}

QAction* MenuItem(QMenu* menu, const char* name, const char* text)
{
    QAction* action = menu->addAction(QString::fromUtf8(text));
    action->setObjectName(QString::fromLatin1(name));
    return action;
}

// Current-values rows and the verdict row: one row, no header, 25 high.
void MakeOneRow(CGridView* view)
{
    view->setFixedHeight(25);
    view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view->verticalHeader()->setDefaultSectionSize(21);
}
}

void TForm1::BuildMenus()
{
    N1 = menuBar()->addMenu(QStringLiteral("&Файл"));
    N1->setObjectName(QStringLiteral("N1"));
    HistoryItem = MenuItem(N1, "HistoryItem", "История…");
    connect(HistoryItem, &QAction::triggered, this, &TForm1::HistoryClick);
    BusMonitor = MenuItem(N1, "BusMonitor", "Монитор обмена");
    connect(BusMonitor, &QAction::triggered, this, &TForm1::BusMonitorClick);
    PlanAction = MenuItem(N1, "PlanAction", "План испытаний…");
    connect(PlanAction, &QAction::triggered, this, &TForm1::PlanClick);
    N2 = menuBar()->addMenu(QStringLiteral("&Настройки"));
    N2->setObjectName(QStringLiteral("N2"));
    Connection = MenuItem(N2, "Connection", "Соединение");
    N3 = menuBar()->addMenu(QStringLiteral("&Помощь"));
    N3->setObjectName(QStringLiteral("N3"));
    N5 = MenuItem(N3, "N5", "Описание");
    N6 = MenuItem(N3, "N6", "О программе");
    connect(Connection, &QAction::triggered, this, &TForm1::ConnectionClick);
    connect(N5, &QAction::triggered, this, &TForm1::N5Click);
    connect(N6, &QAction::triggered, this, &TForm1::N6Click);

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    N4 = MenuItem(PopupMenu1, "N4", "Удалить");
    connect(N4, &QAction::triggered, this, &TForm1::N4Click);

    PopupMenu2 = new QMenu(this);
    PopupMenu2->setObjectName(QStringLiteral("PopupMenu2"));
    PopupMenuAppendCurGiGe = MenuItem(PopupMenu2, "PopupMenuAppendCurGiGe", "Дополнить текущими GiGe");
    PopupMenuScaleGiGe = MenuItem(PopupMenu2, "PopupMenuScaleGiGe", "Масштабирование GiGe");
    PopupMenuRestoreGiGe = MenuItem(PopupMenu2, "PopupMenuRestoreGiGe", "Возврат к исходным GiGe");
    connect(PopupMenuAppendCurGiGe, &QAction::triggered, this, &TForm1::PopupMenuAppendCurGiGeClick);
    connect(PopupMenuScaleGiGe, &QAction::triggered, this, &TForm1::PopupMenuScaleGiGeClick);
    connect(PopupMenuRestoreGiGe, &QAction::triggered, this, &TForm1::PopupMenuRestoreGiGeClick);

    PopupMenu3 = new QMenu(this);
    PopupMenu3->setObjectName(QStringLiteral("PopupMenu3"));
    MenuItem2 = MenuItem(PopupMenu3, "MenuItem2", "Масштабирование GiGe");
    MenuItem3 = MenuItem(PopupMenu3, "MenuItem3", "Возврат к исходным GiGe");
    connect(MenuItem2, &QAction::triggered, this, &TForm1::PopupMenu3ScaleGiGeClick);
    connect(MenuItem3, &QAction::triggered, this, &TForm1::PopupMenu3RestoreGiGeClick);
    MenuItemProfile = MenuItem(PopupMenu3, "MenuItemProfile", "Профиль поверки…");
    connect(MenuItemProfile, &QAction::triggered, this, &TForm1::PopupMenu3ProfileClick);
}

void TForm1::BuildToolBar()
{
    ToolBar1 = addToolBar(QStringLiteral("ToolBar1"));
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setMovable(false);
    ToolBar1->setIconSize(QSize(24, 24));
    ButtonUpdateInfo = ToolButton(ToolBar1, "ButtonUpdateInfo", "Обновление информации по счетчикам", 3);
    ToolBar1->addSeparator();
    ButtonStartPause = ToolButton(ToolBar1, "ButtonStartPause", "Пуск, остановка измерения", 1);
    ButtonStop = ToolButton(ToolBar1, "ButtonStop", "Завершение цикла измерений", 2);
    ToolBar1->addSeparator();
    SortGiGeButton = ToolButton(ToolBar1, "SortGiGeButton", "Сортировка результатов", 7);
    InvertGiGeButton = ToolButton(ToolBar1, "InvertGiGeButton", "Отображение для реверса", 8);
    ToolBar1->addSeparator();
    WordReportButton = ToolButton(ToolBar1, "WordReportButton", "Сформировать отчет в Word", 9);
    connect(ButtonUpdateInfo, &QAction::triggered, this, &TForm1::ButtonUpdateInfoClick);
    connect(ButtonStartPause, &QAction::triggered, this, &TForm1::ButtonStartPauseClick);
    connect(ButtonStop, &QAction::triggered, this, &TForm1::ButtonStopClick);
    connect(SortGiGeButton, &QAction::triggered, this, &TForm1::SortGiGeButtonClick);
    connect(InvertGiGeButton, &QAction::triggered, this, &TForm1::InvertGiGeButtonClick);
    connect(WordReportButton, &QAction::triggered, this, &TForm1::WordReportButtonClick);
    // The button's menu: DOCX with a PDF, or the tables as CSV.
    WordReportButton->setMenu(BuildReportMenu(this, [this](unsigned formats) { MakeReport(formats); }));
}

void TForm1::BuildStatusBar()
{
    StatusBar1 = statusBar();
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setSizeGripEnabled(false);
    const int widths[2] = {250, 50};
    for (int i = 0; i < 2; ++i) {
        StatusPanels[static_cast<size_t>(i)] = new QLabel(StatusBar1);
        StatusPanels[static_cast<size_t>(i)]->setFixedWidth(widths[i]);
        StatusBar1->addWidget(StatusPanels[static_cast<size_t>(i)]);
    }
    // The progress of long operations covers the status bar while it runs.
    ProgressPanel = new QWidget(StatusBar1);
    ProgressPanel->setObjectName(QStringLiteral("ProgressPanel"));
    ProgressPanel->setAutoFillBackground(true);
    auto* row = new QHBoxLayout(ProgressPanel);
    row->setContentsMargins(2, 1, 2, 1);
    ProgressBar = new QProgressBar(ProgressPanel);
    ProgressBar->setObjectName(QStringLiteral("ProgressBar"));
    ProgressBar->setRange(0, 100);
    ProgressBar->setValue(0);
    CancelButton = new QPushButton(QStringLiteral("Отмена"), ProgressPanel);
    CancelButton->setObjectName(QStringLiteral("CancelButton"));
    row->addWidget(ProgressBar, 1);
    row->addWidget(CancelButton);
    connect(CancelButton, &QPushButton::clicked, this, &TForm1::CancelClick);
    StoreStatus = new QLabel(StatusBar1);
    StoreStatus->setObjectName(QStringLiteral("StoreStatus"));
    StoreStatus->setStyleSheet(QStringLiteral("color: #b00000"));
    StoreStatus->hide();
    StatusBar1->addWidget(StoreStatus, 1);
    ProgressPanel->hide();
    StatusBar1->installEventFilter(this);
}

void TForm1::BuildTabs()
{
    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    PageControl1->addTab(BuildSetPointsTab(), QStringLiteral("Уставки"));
    PageControl1->addTab(BuildCalibrationTab(), QStringLiteral("Градуировка"));
    PageControl1->addTab(BuildVerificationTab(), QStringLiteral("Поверка"));
    setCentralWidget(PageControl1);
    connect(PageControl1, &QTabWidget::currentChanged, this, &TForm1::PageControl1Change);
}

QWidget* TForm1::BuildSetPointsTab()
{
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("TabSheet1"));
    CMainTables& t = Ws->Tables;
    StringGrid1 = MakeGrid(t.StringGrid1, QStringLiteral("StringGrid1"), &CMainTables::StringGrid1SelectCell);
    StringGrid1->GridModel()->SetEditHandler([this](int col, int row, const std::string& text) {
        Ws->MeterList.StringGrid1SetEditText(col, row, text);
        syncFromState();
    });
    StringGrid1->setItemDelegate(new CMaskDelegate(
        &CMainTables::StringGrid1GetEditMask,
        [this](int col, int row) { Ws->MeterList.StringGrid1GetEditText(col, row); }, StringGrid1));
    StringGrid1->setEditTriggers(QAbstractItemView::AnyKeyPressed | QAbstractItemView::DoubleClicked |
                                 QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
    StringGrid1->setFixedWidth(393);
    connect(StringGrid1, &CGridView::exited, this, &TForm1::StringGrid1Exit);
    ConnectContextMenu(StringGrid1, PopupMenu3, false);

    MeterCard = new QTextBrowser;
    MeterCard->setObjectName(QStringLiteral("MeterCard"));
    MeterCard->setFrameShape(QFrame::NoFrame);
    connect(StringGrid1->selectionModel(), &QItemSelectionModel::currentChanged, this, [this] { RefreshMeterCard(); });
    DefaultProfileButton = new QPushButton(QStringLiteral("Профиль поверки по умолчанию…"));
    DefaultProfileButton->setObjectName(QStringLiteral("DefaultProfileButton"));
    connect(DefaultProfileButton, &QPushButton::clicked, this, &TForm1::DefaultProfileButtonClick);
    auto* side = new QVBoxLayout;
    side->addWidget(DefaultProfileButton, 0, Qt::AlignLeft);
    side->addWidget(MeterCard, 1);

    auto* layout = new QHBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(StringGrid1);
    layout->addLayout(side, 1);
    return page;
}

QWidget* TForm1::BuildCalibrationTab()
{
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("TabSheet2"));
    CMainTables& t = Ws->Tables;
    StringGrid5 = MakeGrid(t.StringGrid5, QStringLiteral("StringGrid5"), &CMainTables::StringGrid5SelectCell);
    MakeOneRow(StringGrid5);
    StringGrid2 = MakeGrid(t.StringGrid2, QStringLiteral("StringGrid2"), [](int, int) { return true; });
    StringGrid4 = MakeGrid(t.StringGrid4, QStringLiteral("StringGrid4"), &CMainTables::StringGrid4SelectCell);
    ConnectContextMenu(StringGrid5, PopupMenu1, false);
    ConnectContextMenu(StringGrid2, PopupMenu1, true);
    ConnectContextMenu(StringGrid4, PopupMenu2, false);

    ToolBar2 = new QToolBar(QStringLiteral("ToolBar2"));
    ToolBar2->setObjectName(QStringLiteral("ToolBar2"));
    ToolBar2->setIconSize(QSize(24, 24));
    CreateGiGe = ToolButton(ToolBar2, "CreateGiGe", "Формирование градуировочных пар", 6);
    SaveGiGeToFile = ToolButton(ToolBar2, "SaveGiGeToFile", "Сохранение градуировочных пар", 4);
    SaveGiGeToDevice = ToolButton(ToolBar2, "SaveGiGeToDevice", "Передача градуировочных пар в прибор", 5);
    connect(CreateGiGe, &QAction::triggered, this, &TForm1::CreateGiGeClick);
    connect(SaveGiGeToFile, &QAction::triggered, this, &TForm1::SaveGiGeToFileClick);
    connect(SaveGiGeToDevice, &QAction::triggered, this, &TForm1::SaveGiGeToDeviceClick);

    auto* pairs = new QWidget;
    auto* pairsLayout = new QVBoxLayout(pairs);
    pairsLayout->setContentsMargins(0, 0, 0, 0);
    pairsLayout->setSpacing(0);
    pairsLayout->addWidget(ToolBar2);
    pairsLayout->addWidget(StringGrid4, 1);

    Splitter1 = new QSplitter(Qt::Vertical);
    Splitter1->setObjectName(QStringLiteral("Splitter1"));
    Splitter1->addWidget(StringGrid2);
    Splitter1->addWidget(pairs);
    Splitter1->setStretchFactor(0, 1);
    Splitter1->setSizes({320, 237 + 32});

    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(StringGrid5);
    layout->addWidget(Splitter1, 1);
    return page;
}

QWidget* TForm1::BuildVerificationTab()
{
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("TabSheet3"));
    CMainTables& t = Ws->Tables;
    StringGrid6 = MakeGrid(t.StringGrid6, QStringLiteral("StringGrid6"), &CMainTables::StringGrid5SelectCell);
    MakeOneRow(StringGrid6);
    StringGrid3 = MakeGrid(t.StringGrid3, QStringLiteral("StringGrid3"), &CMainTables::StringGrid3SelectCell);
    StringGrid3->GridModel()->SetCellColour([this](int col, int row) {
        const CTextGrid& grid = Ws->Tables.StringGrid3;
        if (col < 1 || row < 2 || row >= grid.RowCount() - 1)
            return QColor();
        const MeterJudgement* m = MeterOfColumn(m_judged, col);
        return m ? PointColour(m->CellVerdict(row)) : QColor();
    });
    ConnectContextMenu(StringGrid6, PopupMenu1, false);
    ConnectContextMenu(StringGrid3, PopupMenu1, true);

    for (int c = 0; c < m_verdictRow.ColCount(); ++c)
        m_verdictRow.SetColWidth(c, c == 0 ? 60 : 77);
    VerdictGrid = MakeGrid(m_verdictRow, QStringLiteral("VerdictGrid"), [](int, int) { return false; });
    MakeOneRow(VerdictGrid);
    VerdictGrid->GridModel()->SetCellColour([this](int col, int) {
        if (col < 1)
            return QColor();
        const MeterJudgement* m = MeterOfColumn(m_judged, col);
        return m && !m->VerdictText().empty() ? PointColour(m->verdict) : QColor();
    });
    for (int c = 0; c < m_pointsGrid.ColCount(); ++c)
        m_pointsGrid.SetColWidth(c, c == 0 ? 60 : 77);
    PointsGrid = MakeGrid(m_pointsGrid, QStringLiteral("PointsGrid"), [](int, int) { return false; });
    PointsGrid->setMaximumHeight(120);
    PointsGrid->GridModel()->SetCellColour([this](int col, int row) {
        const MeterJudgement* m = MeterOfColumn(m_judged, col);
        if (!m || row < 1)
            return QColor();
        const std::string flow = m_pointsGrid.Cell(0, row);
        for (const PointJudgement& p : m->points)
            if (CellText("%.4g", p.flow) == flow)
                return PointColour(p.decision.verdict);
        return QColor();
    });
    ProfileErrors = new QLabel;
    ProfileErrors->setObjectName(QStringLiteral("ProfileErrors"));
    ProfileErrors->setStyleSheet(QStringLiteral("color: #b00000"));
    ProfileErrors->setWordWrap(true);
    LoadJudgement();

    ToleranceEdit = new QDoubleSpinBox;
    ToleranceEdit->setObjectName(QStringLiteral("ToleranceEdit"));
    ToleranceEdit->setRange(0.01, 100.0);
    ToleranceEdit->setDecimals(2);
    ToleranceEdit->setSingleStep(0.5);
    ToleranceEdit->setPrefix(QStringLiteral("± "));
    ToleranceEdit->setSuffix(QStringLiteral(" %"));
    ToleranceEdit->setValue(m_dTolerance);
    connect(ToleranceEdit, &QDoubleSpinBox::valueChanged, this, &TForm1::ToleranceChanged);

    auto* verdictBar = new QHBoxLayout;
    verdictBar->setContentsMargins(0, 2, 0, 2);
    verdictBar->addWidget(new QLabel(QStringLiteral("Допуск погрешности:")));
    verdictBar->addWidget(ToleranceEdit);
    verdictBar->addStretch(1);

    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(StringGrid6);
    layout->addWidget(StringGrid3, 1);
    layout->addLayout(verdictBar);
    layout->addWidget(VerdictGrid);
    layout->addWidget(PointsGrid);
    layout->addWidget(ProfileErrors);
    return page;
}

void TForm1::ConnectContextMenu(CGridView* view, QMenu* menu, bool geColumnOnly)
{
    view->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(view, &QWidget::customContextMenuRequested, this, [view, menu, geColumnOnly](const QPoint& pos) {
        // Rows of the measurement tables are deleted from the Ge column only.
        if (geColumnOnly && view->columnAt(pos.x()) > 0)
            return;
        menu->popup(view->viewport()->mapToGlobal(pos));
    });
}
