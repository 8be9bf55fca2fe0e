#include "ui/plans/TPlanForm.h"

#include "common/OperatorInterface.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMetaObject>
#include <QPushButton>
#include <QVBoxLayout>

TPlanForm::TPlanForm(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("PlanForm"));
    setWindowTitle(QStringLiteral("План испытаний"));
    m_kind = new QComboBox(this);
    m_kind->addItems({QStringLiteral("Градуировка"), QStringLiteral("Поверка")});
    m_meters = new QLineEdit(this);
    m_meters->setPlaceholderText(QStringLiteral("11000002:65, 11000004:40"));
    m_points = new QLineEdit(this);
    m_points->setPlaceholderText(QStringLiteral("20:2, 8:2, 2:2"));
    m_verify = new QLineEdit(this);
    m_verify->setPlaceholderText(QStringLiteral("8:1"));
    m_write = new QCheckBox(QStringLiteral("Записать пары в счетчики"), this);
    m_open = new QPushButton(QStringLiteral("Открыть…"), this);
    m_save = new QPushButton(QStringLiteral("Сохранить…"), this);
    m_run = new QPushButton(QStringLiteral("Пуск"), this);
    m_pause = new QPushButton(QStringLiteral("Пауза"), this);
    m_cancel = new QPushButton(QStringLiteral("Отмена"), this);
    m_progress = new QLabel(this);
    m_progress->setObjectName(QStringLiteral("PlanProgress"));
    m_cycle = new QLabel(this);
    m_outcome = new QLabel(this);
    m_outcome->setWordWrap(true);
    for (QPushButton* b : {m_open, m_save, m_run, m_pause, m_cancel})
        b->setAutoDefault(false);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Вид серии:"), m_kind);
    form->addRow(QStringLiteral("Счетчики (№:Ду):"), m_meters);
    form->addRow(QStringLiteral("Точки (расход:циклов):"), m_points);
    form->addRow(QStringLiteral("Поверка после:"), m_verify);
    form->addRow(QString(), m_write);
    auto* files = new QHBoxLayout;
    files->addWidget(m_open);
    files->addWidget(m_save);
    files->addStretch();
    auto* run = new QHBoxLayout;
    run->addWidget(m_run);
    run->addWidget(m_pause);
    run->addWidget(m_cancel);
    run->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(files);
    layout->addLayout(run);
    layout->addWidget(m_progress);
    layout->addWidget(m_cycle);
    layout->addWidget(m_outcome);
    setMinimumWidth(460);

    connect(m_kind, &QComboBox::currentIndexChanged, this, [this] { KindChanged(); });
    connect(m_open, &QPushButton::clicked, this, &TPlanForm::OpenClick);
    connect(m_save, &QPushButton::clicked, this, &TPlanForm::SaveClick);
    connect(m_run, &QPushButton::clicked, this, &TPlanForm::RunClick);
    connect(m_pause, &QPushButton::clicked, this, &TPlanForm::PauseClick);
    connect(m_cancel, &QPushButton::clicked, this, [this] {
        if (onCancel)
            onCancel();
    });
    SetRunning(false);
    KindChanged();
    setTabOrder(m_meters, m_points);
    setTabOrder(m_points, m_verify);
    m_meters->setFocus(Qt::OtherFocusReason);
}

void TPlanForm::KindChanged()
{
    const bool calibration = m_kind->currentIndex() == 0;
    m_verify->setEnabled(calibration && !m_bRunning);
    m_write->setEnabled(calibration && !m_bRunning);
}

bool TPlanForm::ReadPlan(TestPlan& plan)
{
    std::string why;
    if (PlanFromFields(m_kind->currentIndex() == 0, m_meters->text().toStdString(), m_points->text().toStdString(),
                       m_verify->text().toStdString(), m_write->isChecked(), plan, why))
        return true;
    Operator().MessageDialog(MsgIcon::Error, "План испытаний: " + why);
    return false;
}

void TPlanForm::SetPlan(const TestPlan& plan)
{
    m_kind->setCurrentIndex(plan.calibration ? 0 : 1);
    m_meters->setText(QString::fromStdString(PlanMetersText(plan)));
    m_points->setText(QString::fromStdString(PlanPointsText(plan.points)));
    m_verify->setText(QString::fromStdString(PlanPointsText(plan.verifyAfter)));
    m_write->setChecked(plan.write);
}

void TPlanForm::OpenClick()
{
    const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("План испытаний"), QString(),
                                                      QStringLiteral("План (*.json)"));
    if (path.isEmpty())
        return;
    TestPlan plan;
    std::string why;
    if (!ReadTestPlan(path.toStdString(), plan, why)) {
        Operator().MessageDialog(MsgIcon::Error, "План испытаний не прочитан: " + why);
        return;
    }
    SetPlan(plan);
}

void TPlanForm::SaveClick()
{
    TestPlan plan;
    if (!ReadPlan(plan))
        return;
    QString path = QFileDialog::getSaveFileName(this, QStringLiteral("План испытаний"), QString(),
                                                QStringLiteral("План (*.json)"));
    if (path.isEmpty())
        return;
    if (!path.endsWith(QStringLiteral(".json")))
        path += QStringLiteral(".json");
    std::string why;
    if (!SaveTestPlan(path.toStdString(), plan, why))
        Operator().MessageDialog(MsgIcon::Error, "План испытаний не сохранен: " + why);
}

void TPlanForm::RunClick()
{
    TestPlan plan;
    if (m_bRunning || !ReadPlan(plan) || !onRun)
        return;
    m_outcome->clear();
    m_cycle->clear();
    SetRunning(true);
    onRun(plan);
    SetRunning(false);
}

void TPlanForm::PauseClick()
{
    if (!m_bRunning)
        return;
    m_bPaused = !m_bPaused;
    m_pause->setText(m_bPaused ? QStringLiteral("Продолжить") : QStringLiteral("Пауза"));
    if (onPause)
        onPause(m_bPaused);
}

void TPlanForm::SetRunning(bool running)
{
    m_bRunning = running;
    m_bPaused = false;
    m_pause->setText(QStringLiteral("Пауза"));
    m_run->setEnabled(!running);
    m_pause->setEnabled(running);
    m_cancel->setEnabled(running);
    for (QWidget* w : std::initializer_list<QWidget*>{m_kind, m_meters, m_points, m_open, m_save})
        w->setEnabled(!running);
    KindChanged();
}

void TPlanForm::ShowProgress(const QString& text)
{
    QMetaObject::invokeMethod(this, [this, text] { m_progress->setText(text); }, Qt::QueuedConnection);
}

void TPlanForm::ShowCycle(const QString& text)
{
    QMetaObject::invokeMethod(this, [this, text] { m_cycle->setText(text); }, Qt::QueuedConnection);
}

void TPlanForm::ShowOutcome(bool ok, const QString& text)
{
    m_outcome->setStyleSheet(ok ? QString() : QStringLiteral("color: #b00000"));
    m_outcome->setText(text);
}
