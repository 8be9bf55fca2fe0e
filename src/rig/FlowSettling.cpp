#include "rig/FlowSettling.h"

#include "common/NumberText.h"
#include "rig/RigInstruments.h"

#include <chrono>
#include <cmath>
#include <thread>

CFlowSettling::CFlowSettling(double setpoint, double bandPercent, double holdSeconds, double timeoutSeconds)
    : m_setpoint(setpoint), m_band(std::fabs(setpoint) * bandPercent / 100), m_hold(holdSeconds),
      m_timeout(timeoutSeconds)
{
}

SettleOutcome CFlowSettling::Add(double seconds, double flow)
{
    m_last = seconds;
    m_lastFlow = flow;
    const bool in = std::isfinite(flow) && std::fabs(flow - m_setpoint) <= m_band;
    if (in && !m_inBand)
        m_inBandSince = seconds;
    m_inBand = in;
    if (in && seconds - m_inBandSince >= m_hold)
        return SettleOutcome::Settled;
    return seconds >= m_timeout ? SettleOutcome::TimedOut : SettleOutcome::Waiting;
}

SettleOutcome SetFlowAndSettle(CRigInstruments& rig, double flow, const std::function<bool()>& cancelled,
                               std::string& why)
{
    const RigConfig& c = rig.Config();
    if (!rig.SetFlow(flow, why))
        return SettleOutcome::Failed;
    CFlowSettling settling(flow, c.settleBandPercent, c.settleSeconds, c.settleTimeoutSeconds);
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    RigSample previous;
    bool havePrevious = false;
    for (;;) {
        if (cancelled && cancelled())
            return SettleOutcome::Aborted;
        RigSample s;
        if (!rig.Read(s, why))
            return SettleOutcome::Failed;
        // Without a rate register the flow comes from the total's growth.
        double seen = s.rate;
        if (!c.rate.present) {
            seen = NAN;
            if (havePrevious && s.at > previous.at)
                seen = (s.total - previous.total) /
                       std::chrono::duration<double, std::ratio<3600>>(s.at - previous.at).count();
            previous = s;
            havePrevious = true;
        }
        const double t = std::chrono::duration<double>(Clock::now() - start).count();
        switch (settling.Add(t, seen)) {
        case SettleOutcome::Settled:
            return SettleOutcome::Settled;
        case SettleOutcome::TimedOut:
            why = FormatC("расход не установился за %g с: задано %g м3/ч, эталон показывает %g м3/ч (допуск ±%g %%)",
                          c.settleTimeoutSeconds, flow, settling.LastFlow(), c.settleBandPercent);
            return SettleOutcome::TimedOut;
        default:
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
}
