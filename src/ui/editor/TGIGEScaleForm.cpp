#include "ui/editor/TGIGEScaleForm.h"
#include "ui/platform/WindowPlacement.h"

#include "ui/editor/GiGeChartView.h"
#include "ui/editor/GiGeGridModel.h"
#include "common/CommonUtils.h"
#include "common/NumberText.h"
#include "workstation/CellNumbers.h"
#include "workstation/GiGeScaling.h"

#include <QAction>
#include <QAreaSeries>
#include <QChart>
#include <QChartView>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QTableView>
#include <QToolBar>
#include <QVBoxLayout>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

namespace {
// A 32x32 tool picture: a coloured tile with a short symbol.
QIcon ToolIcon(const QString& symbol, const QColor& color)
{
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(color);
    p.setPen(color.darker(140));
    p.drawRoundedRect(QRectF(1.5, 1.5, 29, 29), 5, 5);
    QFont font = p.font();
    font.setBold(true);
    font.setPixelSize(symbol.size() > 2 ? 11 : 15);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRectF(0, 0, 32, 32), Qt::AlignCenter, symbol);
    return QIcon(pixmap);
}

QValueAxis* MakeAxis(const QString& title)
{
    auto* axis = new QValueAxis;
    axis->setTitleText(title);
    axis->setLabelFormat("%.6g");
    QFont font = axis->labelsFont();
    font.setPointSizeF(7.5);
    axis->setLabelsFont(font);
    QFont titleFont = axis->titleFont();
    titleFont.setPointSizeF(8);
    axis->setTitleFont(titleFont);
    return axis;
}

QChart* MakeChart()
{
    auto* chart = new QChart;
    chart->legend()->hide();
    chart->setMargins(QMargins(2, 2, 2, 2));
    chart->setBackgroundRoundness(0);
    return chart;
}

// Range of values with a margin; a single value or none gets a unit span.
void Span(double lo, double hi, double& min, double& max)
{
    if (!(lo <= hi)) {
        min = 0;
        max = 1;
        return;
    }
    double pad = (hi - lo) * 0.05;
    if (pad <= 0)
        pad = std::max(std::fabs(hi) * 0.1, 0.5);
    min = lo - pad;
    max = hi + pad;
}

// Ticks 1, 2 or 5 × 10^k apart, no closer than the labels' height allows on an
// axis this many pixels long (closer ticks make the chart cut their labels to "...").
void SetReadableTicks(QValueAxis* axis, int lengthPx)
{
    const double span = axis->max() - axis->min();
    const int labelHeight = QFontMetrics(axis->labelsFont()).height();
    const int intervals = std::max(1, lengthPx / std::max(1, 2 * labelHeight));
    if (!(span > 0) || !std::isfinite(span))
        return;
    const double raw = span / intervals;
    const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
    double step = 10 * magnitude;
    for (double m : {1.0, 2.0, 5.0})
        if (m * magnitude >= raw) {
            step = m * magnitude;
            break;
        }
    axis->setTickType(QValueAxis::TicksDynamic);
    axis->setTickAnchor(0);
    axis->setTickInterval(step);
}

QList<QPointF> ToQt(const std::vector<ChartPoint>& points)
{
    QList<QPointF> out;
    out.reserve(static_cast<qsizetype>(points.size()));
    for (const ChartPoint& p : points)
        out.append(QPointF(p.X, p.Y));
    return out;
}
}

TGIGEScaleForm::TGIGEScaleForm(QWidget* mainWindow) : QDialog(mainWindow), m_pMainWindow(mainWindow)
{
    setWindowTitle("Масштабирование градуировочных пар");
    // The system menu and its close box only.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);

    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);
    BuildToolBar();
    root->addWidget(m_pToolBar);

    auto* body = new QHBoxLayout;
    body->setContentsMargins(2, 2, 2, 2);
    body->setSpacing(2);
    root->addLayout(body, 1);

    auto* left = new QVBoxLayout;
    left->setSpacing(2);
    m_pGridModel = new CGiGeGridModel(
        m_model.StringGrid1,
        [this](int col, int row, const std::string& text) {
            m_model.StringGrid1SetEditText(col, row, text);
            SyncFromModel();
        },
        this);
    m_pGrid = new QTableView;
    m_pGrid->setObjectName("StringGrid1");
    m_pGrid->setModel(m_pGridModel);
    m_pGrid->setFixedSize(214, 346);
    QFont gridFont = m_pGrid->font();
    gridFont.setPointSizeF(8);
    m_pGrid->setFont(gridFont);
    m_pGrid->verticalHeader()->hide();
    m_pGrid->horizontalHeader()->setMinimumSectionSize(10);
    m_pGrid->horizontalHeader()->setDefaultSectionSize(24);
    m_pGrid->verticalHeader()->setDefaultSectionSize(18);
    m_pGrid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_pGrid->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                             QAbstractItemView::AnyKeyPressed);
    m_pGrid->setContextMenuPolicy(Qt::CustomContextMenu);
    m_pPopupMenu1 = new QMenu(this);
    QAction* n4 = m_pPopupMenu1->addAction("Удалить");
    n4->setObjectName("N4");
    connect(n4, &QAction::triggered, this, [this] {
        m_model.N4Click();
        SyncFromModel();
    });
    connect(m_pGrid, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { m_pPopupMenu1->popup(m_pGrid->viewport()->mapToGlobal(pos)); });
    connect(m_pGrid->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) {
                if (current.isValid())
                    m_model.StringGrid1.SetCurrent(current.column(), current.row() + 1);
            });
    left->addWidget(m_pGrid);

    m_pKuLabel = new QLabel("Наклон: Ge/(Gi*Ku), 0<Ku<2 ");
    m_pKu = new QLineEdit;
    m_pKu->setObjectName("LabeledEdit_Ku");
    m_pKuLabel->setBuddy(m_pKu);
    m_pZeroLabel = new QLabel("Смещение [-1..1]");
    m_pZero = new QLineEdit;
    m_pZero->setObjectName("LabeledEdit_Zero");
    m_pZeroLabel->setBuddy(m_pZero);
    m_pCalc = new QPushButton;
    m_pCalc->setObjectName("BitBtn_Calc");
    m_pCalc->setIcon(ToolIcon("×Ku", QColor(0x2e, 0x7d, 0x32)));
    m_pCalc->setIconSize(QSize(24, 24));
    m_pCalc->setToolTip("Масштабировать Gi");
    connect(m_pKu, &QLineEdit::textChanged, this, &TGIGEScaleForm::LabeledEdit_KuChange);
    connect(m_pZero, &QLineEdit::textChanged, this, &TGIGEScaleForm::LabeledEdit_ZeroChange);
    connect(m_pCalc, &QPushButton::clicked, this, [this] {
        m_model.BitBtn_CalcClick(m_pKu->text().toStdString(), m_pZero->text().toStdString());
        SyncFromModel();
    });
    auto* edits = new QGridLayout;
    edits->setContentsMargins(0, 2, 0, 0);
    edits->setVerticalSpacing(1);
    edits->addWidget(m_pKuLabel, 0, 0, 1, 2);
    edits->addWidget(m_pKu, 1, 0);
    edits->addWidget(m_pZeroLabel, 2, 0, 1, 2);
    edits->addWidget(m_pZero, 3, 0);
    edits->addWidget(m_pCalc, 1, 1, 3, 1, Qt::AlignCenter);
    left->addLayout(edits);
    left->addStretch(1);
    body->addLayout(left);

    BuildCharts();
    body->addWidget(m_pCharts);

    root->activate();
    setFixedSize(root->sizeHint().expandedTo(QSize(kClientWidth, kClientHeight)));
    SyncFromModel();
}

TGIGEScaleForm::~TGIGEScaleForm()
{
    // The views read the model, which goes before the dialog's own teardown.
    hide();
    delete m_pGrid;
    delete m_pCharts;
}

void TGIGEScaleForm::BuildToolBar()
{
    m_pToolBar = new QToolBar(this);
    m_pToolBar->setIconSize(QSize(32, 32));
    m_pToolBar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    auto add = [this](const char* name, const QString& caption, const QString& hint, const QIcon& icon,
                      void (TGIGEScaleForm::*handler)()) {
        QAction* a = m_pToolBar->addAction(icon, caption);
        a->setObjectName(name);
        const int bar = hint.indexOf('|');
        a->setToolTip(bar < 0 ? hint : hint.left(bar));
        a->setStatusTip(bar < 0 ? hint : hint.mid(bar + 1));
        if (handler)
            connect(a, &QAction::triggered, this, handler);
        return a;
    };
    const QColor file(0x1f, 0x5f, 0xa8), meter(0xa8, 0x5a, 0x1f), tools(0x5a, 0x3f, 0x8f);
    add("Open", "&Читать", "Читать|Читать градуировку из файла", ToolIcon("Чит", file), &TGIGEScaleForm::OpenClick);
    add("Save", "&Сохранить", "Сохранить|Сохранить градуировку в файл", ToolIcon("Сохр", file),
        &TGIGEScaleForm::SaveClick);
    add("SaveAs", "&Сохранить как", "Сохранить|Сохранить градуировку в файл", ToolIcon("Как", file),
        &TGIGEScaleForm::SaveAsClick);
    m_pToolBar->addSeparator();
    m_pLoadFromVQ = add("LoadFromVQ", "Загрузить из ВЯ", "Считать|Считать градуировку из прибора",
                        ToolIcon("↓ВЯ", meter), nullptr);
    m_pSaveToVQ = add("SaveToVQ", "Записать в ВЯ", "Записать|Записать градуировку в прибор", ToolIcon("↑ВЯ", meter),
                      nullptr);
    m_pToolBar->addSeparator();
    add("ToolButton3", "Упорядочивание градуировочных пар", "Упорядочивание градуировочных пар",
        ToolIcon("1..n", tools), nullptr);
    m_pToolButton2 = add("ToolButton2", "Создание обратной ветви градуировочной характеристики",
                         "Создание обратной ветви градуировочной характеристики", ToolIcon("±", tools), nullptr);
    m_pToolBar->addSeparator();
    add("SaveChart", "Сохранить график", "Сохранить график|Сохранить графики в файл PNG для протокола",
        ToolIcon("PNG", QColor(0x3f, 0x7f, 0x5f)), &TGIGEScaleForm::SaveChartClick);

    auto model = [this](void (CGiGeScaleModel::*op)()) {
        return [this, op] {
            (m_model.*op)();
            SyncFromModel();
        };
    };
    connect(m_pLoadFromVQ, &QAction::triggered, this, model(&CGiGeScaleModel::LoadFromVQClick));
    connect(m_pSaveToVQ, &QAction::triggered, this, model(&CGiGeScaleModel::SaveToVQClick));
    connect(Action("ToolButton3"), &QAction::triggered, this, model(&CGiGeScaleModel::SortGiGeButtonClick));
    connect(m_pToolButton2, &QAction::triggered, this, model(&CGiGeScaleModel::ToolButton2Click));
}

QAction* TGIGEScaleForm::Action(const QString& name) const
{
    for (QAction* a : m_pToolBar->actions())
        if (a->objectName() == name)
            return a;
    return nullptr;
}

void TGIGEScaleForm::BuildCharts()
{
    m_pChart1 = MakeChart();
    m_pSeries1 = new QLineSeries;
    m_pSeries1->setPointsVisible(true);
    m_pSeries1->setMarkerSize(7);
    m_pSeries1->setColor(QColor(0xc0, 0x20, 0x20));
    m_pChart1->addSeries(m_pSeries1);
    m_pAxisX1 = MakeAxis("Gi");
    m_pAxisY1 = MakeAxis("Ge");
    m_pChart1->addAxis(m_pAxisX1, Qt::AlignBottom);
    m_pChart1->addAxis(m_pAxisY1, Qt::AlignLeft);
    m_pSeries1->attachAxis(m_pAxisX1);
    m_pSeries1->attachAxis(m_pAxisY1);
    m_pChart1View = new CGiGeChartView(m_pChart1, m_pSeries1);
    m_pChart1View->setObjectName("Chart1");
    m_pChart1View->setRenderHint(QPainter::Antialiasing);
    m_pChart1View->setFixedSize(516, 323);
    m_pChart1View->onAddPoint = [this](double x, double y) {
        m_model.AddPointClick(x, y);
        SyncFromModel();
    };
    m_pChart1View->onDeletePoint = [this](int k) {
        m_model.DeletePointClick(k);
        SyncFromModel();
    };
    m_pChart1View->onDragStart = [this](int k) { return m_model.DragStart(k); };
    m_pChart1View->onDragMove = [this](double x) {
        if (m_model.DragMove(x))
            SyncFromModel();
    };
    m_pChart1View->onDragEnd = [this] {
        m_model.DragEnd();
        SyncFromModel();
    };
    m_pChart1View->onUndoZoom = [this] { Chart1UndoZoom(); };
    m_pChart1View->hoverText = [this](int k) { return HoverText(k); };
    connect(m_pAxisX1, &QValueAxis::rangeChanged, this, &TGIGEScaleForm::Chart1Zoom);

    m_pChart2 = MakeChart();
    m_pBandUpper = new QLineSeries;
    m_pBandLower = new QLineSeries;
    m_pBand = new QAreaSeries(m_pBandUpper, m_pBandLower);
    m_pBand->setColor(QColor(0x40, 0xa0, 0x40, 0x38));
    m_pBand->setBorderColor(QColor(0x40, 0xa0, 0x40, 0x90));
    m_pChart2->addSeries(m_pBand);
    m_pLineSeries1 = new QLineSeries;
    m_pLineSeries1->setPointsVisible(true);
    m_pLineSeries1->setMarkerSize(5);
    m_pLineSeries1->setColor(QColor(0x20, 0x40, 0xc0));
    m_pChart2->addSeries(m_pLineSeries1);
    m_pAxisX2 = MakeAxis("Gi");
    m_pAxisY2 = MakeAxis("Откл.(%)");
    m_pChart2->addAxis(m_pAxisX2, Qt::AlignBottom);
    m_pChart2->addAxis(m_pAxisY2, Qt::AlignLeft);
    for (QAbstractSeries* s : {static_cast<QAbstractSeries*>(m_pBand), static_cast<QAbstractSeries*>(m_pLineSeries1)}) {
        s->attachAxis(m_pAxisX2);
        s->attachAxis(m_pAxisY2);
    }
    m_pChart2View = new QChartView(m_pChart2);
    m_pChart2View->setObjectName("Chart2");
    m_pChart2View->setRenderHint(QPainter::Antialiasing);
    m_pChart2View->setRubberBand(QChartView::NoRubberBand);
    m_pChart2View->setInteractive(false);
    m_pChart2View->setFixedSize(516, 132);

    m_pCharts = new QWidget;
    auto* layout = new QVBoxLayout(m_pCharts);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_pChart1View);
    layout->addWidget(m_pChart2View);
    layout->addStretch(1);
}

void TGIGEScaleForm::SetMode(bool meter)
{
    m_pLoadFromVQ->setVisible(meter);
    m_pSaveToVQ->setVisible(meter);
    m_pToolButton2->setVisible(meter);
}

void TGIGEScaleForm::OpenForMeter(connection* conn, uint32_t number, const VQ7_INFO* info)
{
    m_model.ShowForMeter(conn, number, info);
    SetMode(true);
    SyncFromModel();
    Chart1UndoZoom();
}

void TGIGEScaleForm::OpenForTable(const CGiGeArray& table, uint32_t number, const VQ7_INFO* info)
{
    m_model.ShowForTable(table, number, info);
    SetMode(false);
    SyncFromModel();
    Chart1UndoZoom();
}

void TGIGEScaleForm::ShowForMeter(connection* conn, uint32_t number, const VQ7_INFO* info)
{
    OpenForMeter(conn, number, info);
    exec();
}

void TGIGEScaleForm::ShowForTable(const CGiGeArray& table, uint32_t number, const VQ7_INFO* info)
{
    OpenForTable(table, number, info);
    exec();
}

void TGIGEScaleForm::SyncFromModel()
{
    m_pGridModel->Refresh();
    // Columns widen to their texts and never narrow.
    const CTextGrid& grid = m_model.StringGrid1;
    const QFontMetrics metrics(m_pGrid->font());
    for (int c = 0; c < grid.ColCount(); ++c) {
        int width = std::max({grid.ColWidth(c), m_pGrid->columnWidth(c), 24});
        for (int r = 0; r < grid.RowCount(); ++r)
            width = std::max(width, metrics.horizontalAdvance(QString::fromStdString(grid.Cell(c, r))) + 10);
        m_pGrid->setColumnWidth(c, width);
    }
    m_pSeries1->replace(ToQt(m_model.Series1.Points()));
    m_pLineSeries1->replace(ToQt(m_model.LineSeries1));
    if (!m_bZoomed)
        FitChart1();
    FitChart2();
}

void TGIGEScaleForm::FitChart1()
{
    const auto& pts = m_model.Series1.Points();
    double xlo = 1, xhi = 0, ylo = 1, yhi = 0;
    if (!pts.empty()) {
        xlo = xhi = pts.front().X;
        ylo = yhi = pts.front().Y;
        for (const ChartPoint& p : pts) {
            xlo = std::min(xlo, p.X);
            xhi = std::max(xhi, p.X);
            ylo = std::min(ylo, p.Y);
            yhi = std::max(yhi, p.Y);
        }
    }
    double x0, x1, y0, y1;
    Span(xlo, xhi, x0, x1);
    Span(ylo, yhi, y0, y1);
    m_bFitting = true;
    m_pAxisX1->setRange(x0, x1);
    m_pAxisX1->applyNiceNumbers();
    m_pAxisY1->setRange(y0, y1);
    m_pAxisY1->applyNiceNumbers();
    m_bFitting = false;
}

void TGIGEScaleForm::FitChart2()
{
    // Gi range: Chart1's while it is zoomed, otherwise the same automatic range as Chart1's.
    const double x0 = m_pAxisX1->min(), x1 = m_pAxisX1->max();
    m_pAxisX2->setRange(x0, x1);
    m_pAxisX2->setTickCount(m_pAxisX1->tickCount());
    double lo = -m_dTolerance, hi = m_dTolerance;
    for (const ChartPoint& p : m_model.LineSeries1) {
        lo = std::min(lo, p.Y);
        hi = std::max(hi, p.Y);
    }
    double y0, y1;
    Span(lo, hi, y0, y1);
    m_pAxisY2->setRange(y0, y1);
    m_pAxisY2->applyNiceNumbers();
    // The plot takes what the bottom axis and the margins leave of the chart's height.
    SetReadableTicks(m_pAxisY2, m_pChart2View->height() - 48);
    m_pBandUpper->replace(QList<QPointF>{{x0, m_dTolerance}, {x1, m_dTolerance}});
    m_pBandLower->replace(QList<QPointF>{{x0, -m_dTolerance}, {x1, -m_dTolerance}});
    m_pBand->setVisible(m_dTolerance > 0);
}

void TGIGEScaleForm::Chart1Zoom(qreal, qreal)
{
    if (m_bFitting)
        return;
    // Zoomed or scrolled: Chart2 takes Chart1's Gi range.
    m_bZoomed = true;
    FitChart2();
}

void TGIGEScaleForm::Chart1UndoZoom()
{
    m_bZoomed = false;
    m_bFitting = true;
    m_pChart1->zoomReset();
    m_bFitting = false;
    FitChart1();
    FitChart2();
}

void TGIGEScaleForm::SetToleranceBand(double percent)
{
    m_dTolerance = std::fabs(percent);
    FitChart2();
}

QString TGIGEScaleForm::HoverText(int k) const
{
    if (k < 0 || k >= m_model.Series1.Count())
        return {};
    const double gi = m_model.Series1.X(k), ge = m_model.Series1.Y(k);
    QString text = QString::fromStdString("Gi = " + CellText("%.7g", gi) + "\nGe = " + CellText("%.7g", ge));
    for (const ChartPoint& d : m_model.LineSeries1)
        if (static_cast<float>(d.X) == static_cast<float>(gi)) {
            text += QString::fromStdString("\nОткл. = " + CellText("%.3f", d.Y) + " %");
            break;
        }
    return text;
}

void TGIGEScaleForm::OpenClick()
{
    QFileDialog dialog(this, "Загрузить градуировку", QString::fromStdString(m_model.LogDir()));
    dialog.setNameFilters({"градуировка (*.dar *.DAR)", "градуировка (*.dat *.DAT)"});
    dialog.setDefaultSuffix("DAR");
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.selectFile(QString::fromStdString(m_model.OpenFileName()));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    m_model.OpenFile(dialog.selectedFiles().front().toStdString());
    SyncFromModel();
}

void TGIGEScaleForm::SaveClick() { m_model.SaveClick(); }

void TGIGEScaleForm::SaveAsClick()
{
    QFileDialog dialog(this, QString(), QString::fromStdString(m_model.LogDir()));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilter("градуировка (*.dar *.DAR)");
    dialog.setDefaultSuffix("DAR");
    dialog.selectFile(QString::fromStdString(m_model.SaveFileName()));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    m_model.SaveGridToFile(dialog.selectedFiles().front().toStdString());
}

bool TGIGEScaleForm::SaveChartImage(const QString& path)
{
    return m_pCharts->grab().save(path, "PNG");
}

void TGIGEScaleForm::SaveChartClick()
{
    const QString proposed = QString::fromStdString(m_model.LogDir() + "/" + FormatC("%8.8u.png", m_model.m_dwNumber));
    const QString path = QFileDialog::getSaveFileName(this, "Сохранить график", proposed, "PNG (*.png)");
    if (path.isEmpty())
        return;
    if (!SaveChartImage(path))
        ShowAppMessage("Не удалось записать файл " + path.toStdString());
}

void TGIGEScaleForm::LabeledEdit_KuChange(const QString& text)
{
    if (const auto replacement = KuReplacement(text.toStdString()))
        m_pKu->setText(QString::fromStdString(*replacement));
}

void TGIGEScaleForm::LabeledEdit_ZeroChange(const QString& text)
{
    if (const auto replacement = ZeroReplacement(text.toStdString()))
        m_pZero->setText(QString::fromStdString(*replacement));
}

void TGIGEScaleForm::FormShow()
{
    // Where the operator left it, else centred on the main window.
    if (!m_bPlaced && !m_sPlacementFile.empty())
        m_bPlaced = RestoreWindowPlacement(this, m_sPlacementFile, "GIGEScaleForm");
    if (!m_bPlaced && m_pMainWindow) {
        const QRect main = m_pMainWindow->geometry();
        move(main.left() + main.width() / 2 - width() / 2, main.top() + main.height() / 2 - height() / 2);
    }
    setWindowTitle(QString::fromStdString(m_model.Caption()));
    m_pKuLabel->setText("Наклон: Gi = Gi*Ku, 0<Ku<2");
    m_pZeroLabel->setText("Смещение Gi [-0.001..0.001]");
}

void TGIGEScaleForm::showEvent(QShowEvent* event)
{
    FormShow();
    QDialog::showEvent(event);
}

void TGIGEScaleForm::hideEvent(QHideEvent* event)
{
    if (!m_sPlacementFile.empty()) {
        SaveWindowPlacement(this, m_sPlacementFile, "GIGEScaleForm");
        m_bPlaced = true;
    }
    QDialog::hideEvent(event);
}
