// The window's test plan: its form, and the plan run on the bus thread while
// the window keeps answering.
#include "ui/mainwindow/TForm1.h"

#include "common/NumberText.h"
#include "common/OperatorInterface.h"
#include "measurement/CSystem.h"
#include "ui/platform/BusTask.h"
#include "ui/plans/TPlanForm.h"
#include "workstation/PlanRunner.h"
#include "workstation/RigSession.h"
#include "workstation/SeriesRunner.h"
#include "workstation/Workstation.h"

void TForm1::PlanClick()
{
    if (!m_pPlanForm) {
        m_pPlanForm = new TPlanForm(this);
        m_pPlanForm->onRun = [this](const TestPlan& plan) { RunPlan(plan); };
        m_pPlanForm->onPause = [this](bool paused) {
            if (m_pPlanRunner)
                m_pPlanRunner->paused = paused;
        };
        m_pPlanForm->onCancel = [this] {
            m_bPlanCancel = true;
            BusTasks->Cancel();
        };
    }
    m_pPlanForm->show();
    m_pPlanForm->raise();
    m_pPlanForm->activateWindow();
}

void TForm1::RunPlan(const TestPlan& plan)
{
    TPlanForm* form = m_pPlanForm;
    if (Ws->State.ModelSet || BusTasks->Busy()) {
        if (form)
            form->ShowOutcome(false, QStringLiteral("Идет серия: завершите ее, прежде чем запускать план."));
        return;
    }
    for (int row = 1; row <= METER_SLOTS; ++row) {
        const bool used = static_cast<size_t>(row) <= plan.meters.size();
        const PlanMeter m = used ? plan.meters[static_cast<size_t>(row - 1)] : PlanMeter{};
        Ws->MeterList.StringGrid1GetEditText(SP_METER, row);
        Ws->MeterList.StringGrid1SetEditText(SP_METER, row, used ? std::to_string(m.number) : "");
        Ws->MeterList.StringGrid1GetEditText(SP_DIAMETER, row);
        Ws->MeterList.StringGrid1SetEditText(SP_DIAMETER, row, m.dn);
    }

    m_bPlanCancel = false;
    CSeriesRunner runner(*Ws, *System);
    runner.m_nCycleTimeoutMs = 600000;
    runner.stopRequested = [this] { return m_bPlanCancel.load(); };
    CPlanRunner planRunner(*Ws, *System, runner, *Rig);
    planRunner.cancelled = [this] { return m_bPlanCancel.load(); };
    // Without the rig's drive the operator sets each flow; "Нет" ends the plan.
    planRunner.bringFlow = [](double flow) {
        return Operator().Confirm(FormatC("Установите расход %g м3/ч. Расход установлен?", flow));
    };
    if (form) {
        planRunner.onProgress = [form](const std::string& t) { form->ShowProgress(QString::fromStdString(t)); };
        planRunner.onEvent = [form](const PlanEvent& e) {
            form->ShowCycle(QString::fromStdString(
                e.kind == PlanEvent::Settled
                    ? FormatC("расход %g м3/ч установился за %.1f с", e.flow, e.seconds)
                    : FormatC("точка %zu из %zu, цикл %u из %u: Ge = %s м3/ч", e.point, e.points, e.cycle, e.cycles,
                              e.ge.c_str()) +
                          (e.timingPercent >= 0 ? FormatC(" (эталон, время ±%.4f %%)", e.timingPercent) : "")));
        };
    }
    m_pPlanRunner = &planRunner;
    // Notices (a converter's restart after its write) go to the message panel, not a box to press.
    const bool wasUnattended = UnattendedRun();
    SetUnattendedRun(true);
    PlanStep step;
    const int listResult = RunOnBus([&] {
        if (const int result = Ws->MeterList.ButtonUpdateInfoClick())
            return result;
        step = planRunner.RunPlan(plan, plan.write);
        return 0;
    });
    SetUnattendedRun(wasUnattended);
    m_pPlanRunner = nullptr;
    SetEditGeForm(m_pEditGeForm);   // the prompt of cycles started by hand again
    syncFromState();
    if (!form)
        return;
    if (listResult != 0)
        form->ShowOutcome(false, QStringLiteral("Список счетчиков не применен, ошибка %1").arg(listResult));
    else if (step.cancelled)
        form->ShowOutcome(false, QStringLiteral("План отменен."));
    else if (!step.ok)
        form->ShowOutcome(false, QString::fromStdString("План остановлен: " + step.why));
    else
        form->ShowOutcome(true, QStringLiteral("План выполнен."));
}
