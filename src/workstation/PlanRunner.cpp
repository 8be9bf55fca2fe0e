#include "workstation/PlanRunner.h"

#include "common/NumberText.h"
#include "measurement/CSystem.h"
#include "workstation/PairForming.h"
#include "workstation/RigSession.h"
#include "workstation/SeriesRunner.h"
#include "workstation/Workstation.h"

#include <chrono>
#include <thread>

namespace {
PlanStep Failed(const std::string& why, int result = 0)
{
    PlanStep s;
    s.ok = false;
    s.why = why;
    s.result = result;
    return s;
}
}

std::string PlanEventText(const PlanEvent& e)
{
    if (e.kind == PlanEvent::Settled)
        return FormatC("flow %g m3/h settled in %.1f s", e.flow, e.seconds);
    return FormatC("point %zu/%zu, cycle %u/%u: Ge = %s", e.point, e.points, e.cycle, e.cycles, e.ge.c_str()) +
           (e.timingPercent >= 0 ? FormatC(" (reference, timing %.4f %%)", e.timingPercent) : std::string());
}

bool CPlanRunner::BringFlow(double flow, PlanStep& step)
{
    if (!m_rig.HasDrive()) {
        if (bringFlow && !bringFlow(flow)) {
            step = Failed(FormatC("расход %g м3/ч не установлен", flow));
            return false;
        }
        return true;
    }
    if (onProgress)
        onProgress(FormatC("расход %g м3/ч задан, ждем, пока установится", flow));
    std::string why;
    const auto start = std::chrono::steady_clock::now();
    const SettleOutcome outcome = SetFlowAndSettle(m_rig.Instruments(), flow, [this] { return Cancelled(); }, why);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    m_settleSeconds += seconds;
    switch (outcome) {
    case SettleOutcome::Settled:
        if (onEvent) {
            PlanEvent e;
            e.kind = PlanEvent::Settled;
            e.flow = flow;
            e.seconds = seconds;
            onEvent(e);
        }
        return true;
    case SettleOutcome::Aborted:
        step = Failed("");
        step.cancelled = true;
        return false;
    default:
        step = Failed(why);
        return false;
    }
}

PlanStep CPlanRunner::MeasurePoints(int page, const std::vector<PlanPoint>& points, CPlanProgress* progress, int first)
{
    if (!m_runner.SelectPage(page))
        return Failed("вкладку нельзя переключить, пока идет серия");
    PlanStep step;
    for (size_t p = 0; p < points.size(); ++p) {
        const double flow = points[p].flow;
        m_ws.Results.SetSetFlow(flow);
        if (Cancelled()) {
            step.ok = false;
            step.cancelled = true;
            return step;
        }
        if (!BringFlow(flow, step))
            return step;
        for (unsigned k = 0; k < points[p].cycles; ++k) {
            while (paused && !Cancelled())
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            if (Cancelled()) {
                step.ok = false;
                step.cancelled = true;
                return step;
            }
            if (progress && onProgress)
                onProgress(progress->Text(first + static_cast<int>(p) + 1, k + 1));
            const auto cycleStart = std::chrono::steady_clock::now();
            if (m_rig.Active())
                m_system.SetReferenceFlowPrompt(m_rig.Prompt());
            else if (manualPrompt)
                m_system.SetReferenceFlowPrompt(manualPrompt());
            if (!m_runner.RunCycle()) {
                if (Cancelled()) {
                    step.ok = false;
                    step.cancelled = true;
                    return step;
                }
                const int result = m_system.GetLastCycleResult();
                std::string message = m_system.GetLastCycleMessage();
                if (message.empty() && m_rig.Active() && !m_rig.LastProblem().empty())
                    message = "эталонный расход не получен: " + m_rig.LastProblem();
                return Failed(FormatC("цикл при %g м3/ч не дал результата", flow) +
                                  (message.empty() ? std::string() : ": " + message),
                              result);
            }
            if (progress)
                progress->CycleDone(
                    std::chrono::duration<double>(std::chrono::steady_clock::now() - cycleStart).count());
            if (onEvent) {
                const CTextGrid& t = page == PAGE_CALIBRATION ? m_ws.Tables.StringGrid2 : m_ws.Tables.StringGrid3;
                PlanEvent e;
                e.flow = flow;
                e.point = p + 1;
                e.points = points.size();
                e.cycle = k + 1;
                e.cycles = points[p].cycles;
                e.ge = t.Cell(0, t.RowCount() - 2);
                if (m_rig.Active())
                    e.timingPercent = m_rig.Reference().TimingErrorPercent();
                onEvent(e);
            }
        }
    }
    return step;
}

PlanStep CPlanRunner::RunPlan(const TestPlan& plan, bool write)
{
    const double settle = m_rig.HasDrive() ? m_rig.Instruments().Config().settleSeconds : 0;
    CPlanProgress progress(plan, 10.0, settle);
    PlanStep step;
    if (!plan.calibration) {
        step = MeasurePoints(PAGE_VERIFICATION, plan.points, &progress);
    } else {
        step = MeasurePoints(PAGE_CALIBRATION, plan.points, &progress);
        if (step.ok && !m_ws.Pairs.CreateGiGeClick())
            step = Failed("пары не сформированы: нужно не меньше двух измерений");
        if (step.ok && PairRowCount(m_ws.Tables.StringGrid4) < 2)
            step = Failed("сформировано меньше двух пар: расходы точек должны отличаться больше чем на 5 %");
        if (step.ok && m_ws.Pairs.SaveGiGeToFileClick() != static_cast<int>(plan.meters.size()))
            step = Failed("файлы пар в Log/ записаны не все; в счетчики ничего не записано");
        if (step.ok && !write && confirmWrite)
            write = confirmWrite();
        if (step.ok && !write && !plan.verifyAfter.empty()) {
            step.why = "пары сохранены, в счетчики не записаны; поверка после градуировки не выполнялась";
            std::string why;
            if (m_rig.HasDrive())
                m_rig.Instruments().StopFlow(why);
            return step;
        }
        if (step.ok && write) {
            if (const int result = m_ws.Pairs.SaveGiGeToDeviceClick())
                step = Failed("запись пар в счетчики не удалась", result);
            else if (!m_ws.State.IncompleteWrites.empty())
                step = Failed("счетчик хранит неполную характеристику: восстановите ее из резервной копии");
        }
        if (step.ok && !plan.verifyAfter.empty()) {
            m_ws.Series.ButtonStopClick();   // the calibration ends; the meters get their own model
            step = MeasurePoints(PAGE_VERIFICATION, plan.verifyAfter, &progress,
                                 static_cast<int>(plan.points.size()));
        }
    }
    std::string why;
    if (m_rig.HasDrive() && !m_rig.Instruments().StopFlow(why) && step.ok)
        step = Failed(why);
    return step;
}
