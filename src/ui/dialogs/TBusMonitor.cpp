#include "ui/dialogs/TBusMonitor.h"

#include "protocol/connection.h"
#include "ui/dialogs/MonitorModel.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QRegularExpressionValidator>
#include <QSaveFile>
#include <QScrollBar>
#include <QSortFilterProxyModel>
#include <QStyle>
#include <QTableView>
#include <QTextStream>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

namespace {
QPointer<TBusMonitor>& TheMonitor()
{
    static QPointer<TBusMonitor> monitor;
    return monitor;
}
}  // namespace

TBusMonitor::TBusMonitor(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("BusMonitor"));
    setWindowTitle(QStringLiteral("Монитор шины"));
    resize(1100, 500);

    auto* toolBar = new QToolBar(this);
    PauseAction = toolBar->addAction(style()->standardIcon(QStyle::SP_MediaPause), QStringLiteral("Пауза"));
    PauseAction->setCheckable(true);
    PauseAction->setToolTip(QStringLiteral("Остановить показ (строки, не поместившиеся в очередь, будут потеряны)"));
    ClearAction = toolBar->addAction(style()->standardIcon(QStyle::SP_DialogResetButton), QStringLiteral("Очистить"));
    SaveAction = toolBar->addAction(style()->standardIcon(QStyle::SP_DialogSaveButton), QStringLiteral("Сохранить..."));
    toolBar->addSeparator();
    toolBar->addWidget(new QLabel(QStringLiteral(" Счетчик №: "), toolBar));
    MeterFilter = new QLineEdit(toolBar);
    MeterFilter->setObjectName(QStringLiteral("MeterFilter"));
    MeterFilter->setPlaceholderText(QStringLiteral("все"));
    MeterFilter->setMaximumWidth(110);
    MeterFilter->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,8}")), MeterFilter));
    toolBar->addWidget(MeterFilter);
    toolBar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);

    m_pModel = new CMonitorModel(50000, this);
    m_pFilter = new QSortFilterProxyModel(this);
    m_pFilter->setSourceModel(m_pModel);
    m_pFilter->setFilterKeyColumn(CMonitorModel::ColMeter);
    Table = new QTableView(this);
    Table->setModel(m_pFilter);
    Table->setFont(QFont(QStringLiteral("Monospace")));
    Table->verticalHeader()->setVisible(false);
    Table->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    Table->setSelectionBehavior(QAbstractItemView::SelectRows);
    Table->setWordWrap(false);
    Table->horizontalHeader()->setStretchLastSection(true);
    Table->setColumnWidth(CMonitorModel::ColTime, 95);
    Table->setColumnWidth(CMonitorModel::ColDirection, 60);
    Table->setColumnWidth(CMonitorModel::ColMeter, 80);
    Table->setColumnWidth(CMonitorModel::ColCommand, 170);
    Table->setColumnWidth(CMonitorModel::ColError, 200);
    // The bytes last, with the room that is left.
    Table->horizontalHeader()->moveSection(CMonitorModel::ColBytes, CMonitorModel::ColError);
    StatusLabel = new QLabel(this);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(toolBar);
    layout->addWidget(Table, 1);
    layout->addWidget(StatusLabel);

    connect(ClearAction, &QAction::triggered, this, [this] {
        m_pModel->Clear();
        m_nFrames = 0;
        m_feed.Target().ResetDropped();
        UpdateStatus();
    });
    connect(PauseAction, &QAction::toggled, this, [this](bool paused) {
        if (!paused)
            m_feed.ResetDecoder();
        UpdateStatus();
    });
    connect(SaveAction, &QAction::triggered, this, &TBusMonitor::SaveClick);
    connect(MeterFilter, &QLineEdit::textChanged, this, [this](const QString& text) {
        m_pFilter->setFilterRegularExpression(
            text.isEmpty() ? QRegularExpression() : QRegularExpression(QStringLiteral("^%1$").arg(text)));
    });
    m_pTimer = new QTimer(this);
    m_pTimer->setInterval(100);
    connect(m_pTimer, &QTimer::timeout, this, [this] {
        if (!PauseAction->isChecked())
            PollNow();
        else
            UpdateStatus();
    });
    UpdateStatus();
}

TBusMonitor::~TBusMonitor()
{
    Attach(nullptr);
}

TBusMonitor* TBusMonitor::Show(connection& conn, QWidget* parent)
{
    QPointer<TBusMonitor>& monitor = TheMonitor();
    if (!monitor) {
        monitor = new TBusMonitor(parent);
        monitor->setAttribute(Qt::WA_DeleteOnClose, false);
        QObject::connect(qApp, &QCoreApplication::aboutToQuit, monitor, [] { Release(); });
    }
    monitor->Attach(&conn);
    monitor->show();
    monitor->raise();
    monitor->activateWindow();
    return monitor;
}

void TBusMonitor::Release()
{
    if (TheMonitor())
        TheMonitor()->Attach(nullptr);
}

void TBusMonitor::Attach(connection* conn)
{
    if (conn == m_pConnection)
        return;
    if (m_pConnection)
        m_pConnection->SetTraceTarget(nullptr);   // joins the trace thread of a link in use
    m_pConnection = conn;
    if (m_pConnection) {
        m_feed.ResetDecoder();
        m_pConnection->SetTraceTarget(&m_feed.Target());
        m_pTimer->start();
    } else {
        m_pTimer->stop();
        PollNow();   // what the trace handed over before it stopped
    }
}

void TBusMonitor::closeEvent(QCloseEvent* event)
{
    Attach(nullptr);
    QWidget::closeEvent(event);
}

void TBusMonitor::PollNow()
{
    m_rows.clear();
    m_feed.Poll(m_rows);
    if (!m_rows.empty()) {
        QScrollBar* bar = Table->verticalScrollBar();
        const bool atEnd = bar->value() == bar->maximum();
        m_nFrames += m_rows.size();
        m_pModel->Append(m_rows);
        if (atEnd)
            Table->scrollToBottom();
    }
    UpdateStatus();
}

void TBusMonitor::UpdateStatus()
{
    QString text = QStringLiteral("Кадров: %1   С ошибками: %2   Потеряно строк: %3")
                       .arg(m_nFrames)
                       .arg(m_pModel->ErrorCount())
                       .arg(m_feed.Dropped());
    if (PauseAction->isChecked())
        text += QStringLiteral("   (пауза)");
    if (!m_pConnection)
        text += QStringLiteral("   (не подключен)");
    StatusLabel->setText(text);
}

bool TBusMonitor::SaveToFile(const QString& path)
{
    QSaveFile file(path);   // written aside and renamed on commit
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
        return false;
    QTextStream out(&file);
    for (int i = 0; i < m_pFilter->rowCount(); ++i)
        out << m_pModel->RowText(m_pFilter->mapToSource(m_pFilter->index(i, 0)).row()) << '\n';
    out.flush();
    return file.commit();
}

void TBusMonitor::SaveClick()
{
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Сохранить обмен"), QString(),
                                                      QStringLiteral("Текстовые файлы (*.txt);;Все файлы (*)"));
    if (path.isEmpty())
        return;
    if (!SaveToFile(path))
        QMessageBox::warning(this, windowTitle(), QStringLiteral("Не удалось записать файл %1").arg(path));
}
