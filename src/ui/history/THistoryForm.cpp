#include "ui/history/THistoryForm.h"

#include "common/OperatorInterface.h"
#include "report/StoredSeriesReport.h"
#include "results/ResultStore.h"
#include "ui/grid/GridModel.h"
#include "ui/grid/GridView.h"
#include "ui/history/StoreReader.h"
#include "ui/mainwindow/ProtocolReportUi.h"
#include "workstation/HistoryTables.h"
#include "workstation/WorkFolders.h"

#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QDateEdit>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QScatterSeries>
#include <QSplitter>
#include <QValueAxis>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <memory>

namespace {
QString Q(const std::string& s) { return QString::fromStdString(s); }
}

THistoryForm::THistoryForm(const StoreLocation& where, std::string baseDir, std::string templatePath, QWidget* parent)
    : QWidget(parent, Qt::Window), openReport(OpenWithDesktop), m_baseDir(std::move(baseDir)),
      m_templatePath(std::move(templatePath)), m_reader(new CStoreReader(where, this)),
      m_list(HistoryListGrid({})), m_points(1, 2, 0, 2)
{
    setObjectName(QStringLiteral("HistoryForm"));
    setWindowTitle(QStringLiteral("История"));
    BuildControls();
    connect(m_reader, &CStoreReader::idle, this, &THistoryForm::loaded);
    resize(900, 700);
}

THistoryForm::~THistoryForm()
{
    // The views and their models go before the grids they show.
    delete SeriesGrid;
    delete PointsGrid;
    delete m_listModel;
    delete m_pointsModel;
}

void THistoryForm::BuildControls()
{
    NumberEdit = new QLineEdit;
    NumberEdit->setObjectName(QStringLiteral("NumberEdit"));
    NumberEdit->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,8}")), NumberEdit));
    NumberEdit->setPlaceholderText(QStringLiteral("все"));
    NumberEdit->setMaximumWidth(110);
    const QDate today = QDate::currentDate();
    auto date = [](const char* name, const QDate& value) {
        auto* edit = new QDateEdit(value);
        edit->setObjectName(QString::fromLatin1(name));
        edit->setCalendarPopup(true);
        edit->setDisplayFormat(QStringLiteral("dd.MM.yyyy"));
        edit->setEnabled(false);
        return edit;
    };
    FromCheck = new QCheckBox(QStringLiteral("с"));
    FromCheck->setObjectName(QStringLiteral("FromCheck"));
    FromDate = date("FromDate", today.addMonths(-1));
    ToCheck = new QCheckBox(QStringLiteral("по"));
    ToCheck->setObjectName(QStringLiteral("ToCheck"));
    ToDate = date("ToDate", today);
    connect(FromCheck, &QCheckBox::toggled, FromDate, &QWidget::setEnabled);
    connect(ToCheck, &QCheckBox::toggled, ToDate, &QWidget::setEnabled);
    FindButton = new QPushButton(QStringLiteral("Найти"));
    FindButton->setObjectName(QStringLiteral("FindButton"));
    FindButton->setDefault(true);
    ReportButton = new QPushButton(QStringLiteral("Отчет по серии"));
    ReportButton->setObjectName(QStringLiteral("ReportButton"));
    ReportButton->setEnabled(false);
    connect(FindButton, &QPushButton::clicked, this, &THistoryForm::FindButtonClick);
    connect(NumberEdit, &QLineEdit::returnPressed, this, &THistoryForm::FindButtonClick);
    connect(ReportButton, &QPushButton::clicked, this, &THistoryForm::ReportButtonClick);

    auto* filterRow = new QHBoxLayout;
    filterRow->addWidget(new QLabel(QStringLiteral("Счетчик №")));
    filterRow->addWidget(NumberEdit);
    filterRow->addSpacing(12);
    filterRow->addWidget(FromCheck);
    filterRow->addWidget(FromDate);
    filterRow->addWidget(ToCheck);
    filterRow->addWidget(ToDate);
    filterRow->addWidget(FindButton);
    filterRow->addStretch(1);
    filterRow->addWidget(ReportButton);

    StoreMessage = new QLabel;
    StoreMessage->setObjectName(QStringLiteral("StoreMessage"));
    StoreMessage->setWordWrap(true);
    StoreMessage->setTextInteractionFlags(Qt::TextSelectableByMouse);

    m_listModel = new CGridModel(m_list, [](int, int) { return true; }, this);
    SeriesGrid = new CGridView(m_listModel, QStringLiteral("SeriesGrid"));
    SeriesGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
    connect(SeriesGrid->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (current.isValid())
                    ChooseSeries(m_listModel->GridRow(current));
            });
    m_pointsModel = new CGridModel(m_points, [](int, int) { return true; }, this);
    PointsGrid = new CGridView(m_pointsModel, QStringLiteral("PointsGrid"));

    DriftChart = new QChart;
    DriftChart->setMargins(QMargins(2, 2, 2, 2));
    DriftChart->setBackgroundRoundness(0);
    DriftChart->legend()->setAlignment(Qt::AlignRight);
    DriftView = new QChartView(DriftChart);
    DriftView->setObjectName(QStringLiteral("DriftView"));
    DriftView->setRenderHint(QPainter::Antialiasing);
    DriftView->setMinimumHeight(200);

    auto* splitter = new QSplitter(Qt::Vertical);
    splitter->setObjectName(QStringLiteral("HistorySplitter"));
    splitter->addWidget(SeriesGrid);
    splitter->addWidget(PointsGrid);
    splitter->addWidget(DriftView);
    splitter->setSizes({200, 200, 260});

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(filterRow);
    layout->addWidget(StoreMessage);
    layout->addWidget(splitter, 1);
}

bool THistoryForm::Loading() const { return m_reader->Busy() > 0; }

void THistoryForm::ShowForMeter(uint32_t number)
{
    NumberEdit->setText(number ? QString::number(number) : QString());
    show();
    raise();
    activateWindow();
    FindButtonClick();
}

void THistoryForm::ShowError(const std::string& error)
{
    StoreMessage->setStyleSheet(QStringLiteral("color: #b00000"));
    StoreMessage->setText(QStringLiteral("Ошибка базы результатов: ") + Q(error));
}

void THistoryForm::ShowInfo(const QString& text)
{
    StoreMessage->setStyleSheet(QString());
    StoreMessage->setText(text);
}

void THistoryForm::FindButtonClick()
{
    HistoryFilter filter;
    filter.number = NumberEdit->text().toUInt();
    if (FromCheck->isChecked())
        filter.from = FromDate->date().toString(Qt::ISODate).toStdString();
    if (ToCheck->isChecked())
        filter.to = ToDate->date().toString(Qt::ISODate).toStdString();
    if (!filter.from.empty() && !filter.to.empty() && filter.to < filter.from) {
        ShowError("дата «по» раньше даты «с»");
        return;
    }
    m_filter = filter;
    const unsigned no = ++m_searchNo;
    ++m_chooseNo;   // a series chosen in the old list is no longer wanted
    ShowInfo(QStringLiteral("Загрузка из %1…").arg(Q(m_reader->Location().shown)));
    auto list = std::make_shared<std::vector<SeriesSummary>>();
    m_reader->Run([list, filter](CResultStore& store) { *list = store.ListSeries(filter); },
                  [this, list, no](const std::string& error) {
                      if (no != m_searchNo)
                          return;
                      m_summaries = error.empty() ? *list : std::vector<SeriesSummary>{};
                      m_list = HistoryListGrid(m_summaries);
                      m_listModel->Reshape();
                      m_chosen.reset();
                      m_linked.reset();
                      m_points = CTextGrid(1, 2, 0, 2);
                      m_pointsModel->Reshape();
                      ReportButton->setEnabled(false);
                      if (!error.empty()) {
                          ShowError(error);
                          LoadDrift(0, true);
                          return;
                      }
                      ShowInfo(m_summaries.empty() ? QStringLiteral("Серий не найдено")
                                                   : QStringLiteral("Серий: %1").arg(m_summaries.size()));
                      LoadDrift(m_filter.number, true);
                      // The latest series is shown first.
                      if (!m_summaries.empty())
                          SeriesGrid->setCurrentIndex(
                              m_listModel->index(static_cast<int>(m_summaries.size()) - 1, HL_DATE));
                  });
}

void THistoryForm::ChooseSeries(int gridRow)
{
    const int index = gridRow - m_list.FixedRows();
    if (index < 0 || index >= static_cast<int>(m_summaries.size()))
        return;
    const long long id = m_summaries[static_cast<size_t>(index)].series.id;
    const unsigned no = ++m_chooseNo;
    auto chosen = std::make_shared<std::optional<StoredSeries>>();
    auto linked = std::make_shared<std::optional<StoredSeries>>();
    m_reader->Run(
        [id, chosen, linked](CResultStore& store) {
            *chosen = store.LoadSeries(id);
            if (*chosen)
                if (const long long other = LinkedSeriesId((*chosen)->series))
                    *linked = store.LoadSeries(other);
        },
        [this, no, chosen, linked](const std::string& error) {
            if (no != m_chooseNo)
                return;
            if (!error.empty() || !*chosen) {
                ShowError(error.empty() ? "серии больше нет в базе" : error);
                return;
            }
            m_chosen = std::move(*chosen);
            m_linked = std::move(*linked);
            m_points = SeriesPointsGrid(*m_chosen, m_linked ? &*m_linked : nullptr, m_filter.number);
            m_pointsModel->Reshape();
            ReportButton->setEnabled(true);
            // Every meter's list: the drift of the chosen series' first meter.
            if (m_filter.number == 0 && !m_chosen->meters.empty())
                LoadDrift(m_chosen->meters.front().number, false);
        });
}

void THistoryForm::LoadDrift(uint32_t number, bool again)
{
    if (!again && number == m_driftNumber)
        return;   // shown or on its way
    const unsigned no = ++m_driftNo;
    m_driftNumber = number;
    if (number == 0) {
        m_drift = MeterDrift{};
        ShowDrift();
        return;
    }
    HistoryFilter filter = m_filter;
    filter.number = number;
    auto drift = std::make_shared<MeterDrift>();
    m_reader->Run([filter, drift](CResultStore& store) { *drift = BuildMeterDrift(LoadSeriesOf(store, filter), filter.number); },
                  [this, no, drift](const std::string& error) {
                      if (no != m_driftNo)
                          return;
                      if (!error.empty())
                          ShowError(error);
                      m_drift = error.empty() ? *drift : MeterDrift{};
                      ShowDrift();
                  });
}

void THistoryForm::ShowDrift()
{
    DriftChart->removeAllSeries();
    for (QAbstractAxis* axis : DriftChart->axes())
        DriftChart->removeAxis(axis);
    DriftChart->setTitle(m_driftNumber ? QStringLiteral("Погрешность счетчика № %1 по сериям").arg(m_driftNumber)
                                       : QStringLiteral("Погрешность по сериям: выберите счетчик"));
    if (m_drift.lines.empty())
        return;
    auto* x = new QCategoryAxis;
    x->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    for (size_t i = 0; i < m_drift.dates.size(); ++i)
        x->append(QStringLiteral("%1: %2").arg(i + 1).arg(Q(m_drift.dates[i].substr(0, 10))), static_cast<double>(i));
    x->setRange(-0.5, static_cast<double>(m_drift.dates.size()) - 0.5);
    x->setTitleText(QStringLiteral("Серия"));
    auto* y = new QValueAxis;
    y->setTitleText(QStringLiteral("δ, %"));
    double lo = 0, hi = 0;
    for (const DriftLine& line : m_drift.lines)
        for (const ChartPoint& p : line.points) {
            lo = std::min(lo, p.Y);
            hi = std::max(hi, p.Y);
        }
    const double pad = std::max((hi - lo) * 0.1, 0.1);
    y->setRange(lo - pad, hi + pad);
    DriftChart->addAxis(x, Qt::AlignBottom);
    DriftChart->addAxis(y, Qt::AlignLeft);
    for (const DriftLine& line : m_drift.lines) {
        auto* series = new QLineSeries;
        series->setName(Q(line.name));
        series->setPointsVisible(true);
        for (const ChartPoint& p : line.points)
            series->append(p.X, p.Y);
        DriftChart->addSeries(series);
        series->attachAxis(x);
        series->attachAxis(y);
    }
}

void THistoryForm::ReportButtonClick()
{
    if (!m_chosen)
        return;
    const std::string dir = CWorkFolders(m_baseDir).BaseDir() + "/Reports";
    const std::string path = dir + "/" + StoredSeriesReportStem(*m_chosen) + ".docx";
    try {
        if (!MakeFolders(dir))
            throw std::runtime_error("не удалось создать папку " + dir);
        for (const std::string& warning : WriteStoredSeriesReport(*m_chosen, m_templatePath, path))
            Operator().MessageDialog(MsgIcon::Warning, warning);
    } catch (const std::exception& e) {
        Operator().MessageDialog(MsgIcon::Error, std::string("Отчет не сформирован.\n") + e.what());
        return;
    }
    m_lastReport = path;
    if (!(openReport && openReport(Q(path))))
        Operator().MessageDialog(MsgIcon::Information,
                                 "Отчет сохранен в файл\n" + path + "\nПрограмма для его открытия не найдена.");
}
