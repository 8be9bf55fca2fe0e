#include "workstation/RigReferenceFlow.h"

#include "common/FlowRule.h"
#include "common/NumberText.h"

#include <cmath>

namespace {
// A transaction the scheduler held up leaves its instant uncertain: the
// tightest of a few readings is kept (a reading longer than this is retried).
constexpr auto kTightHalfSpan = std::chrono::microseconds(1000);
constexpr int kReadings = 3;

bool TightRead(CRigInstruments& rig, RigSample& out, std::string& why)
{
    RigSample best;
    bool have = false;
    for (int i = 0; i < kReadings; ++i) {
        RigSample s;
        if (!rig.Read(s, why))
            return false;
        if (!have || s.halfSpan < best.halfSpan)
            best = s;
        have = true;
        if (best.halfSpan <= kTightHalfSpan)
            break;
    }
    out = best;
    return true;
}
}

double FlowFromTotals(const RigSample& start, const RigSample& end, const RegisterSpec& total)
{
    double volume = end.total - start.total;
    if (volume < 0 && total.type == RegisterType::UInt32)
        volume += 4294967296.0 * std::fabs(total.scale);
    const double hours = std::chrono::duration<double, std::ratio<3600>>(end.at - start.at).count();
    return hours > 0 ? volume / hours : NAN;
}

CycleHooks CRigReferenceFlow::Hooks()
{
    return CycleHooks{[this] { IntegrationStarted(); }, [this] { Integrating(); }, [this] { IntegrationEnded(); }};
}

void CRigReferenceFlow::IntegrationStarted()
{
    std::lock_guard lock(m_lock);
    m_error.clear();
    m_start.reset();
    m_end.reset();
    m_rates.clear();
    m_temperatureSum = 0;
    m_temperatureCount = 0;
    RigSample s;
    if (!TightRead(m_rig, s, m_error))
        return;
    m_start = s;
    if (std::isfinite(s.rate))
        m_rates.push_back(s.rate);
    if (std::isfinite(s.temperature)) {
        m_temperatureSum += s.temperature;
        ++m_temperatureCount;
    }
}

void CRigReferenceFlow::Integrating()
{
    std::lock_guard lock(m_lock);
    // The mean of the rate is needed only without a total.
    if (!m_error.empty() || m_rig.Config().total.present)
        return;
    RigSample s;
    if (!m_rig.Read(s, m_error))
        return;
    m_rates.push_back(s.rate);
}

void CRigReferenceFlow::IntegrationEnded()
{
    std::lock_guard lock(m_lock);
    if (!m_error.empty())
        return;
    RigSample s;
    if (!TightRead(m_rig, s, m_error))
        return;
    m_end = s;
    if (std::isfinite(s.rate))
        m_rates.push_back(s.rate);
    if (std::isfinite(s.temperature)) {
        m_temperatureSum += s.temperature;
        ++m_temperatureCount;
    }
}

std::optional<double> CRigReferenceFlow::Ge(std::string& why)
{
    std::lock_guard lock(m_lock);
    if (!m_error.empty()) {
        why = m_error;
        return std::nullopt;
    }
    if (!m_start || !m_end) {
        why = "эталон не прочитан в начале и в конце цикла";
        return std::nullopt;
    }
    const RigConfig& c = m_rig.Config();
    double ge = NAN;
    if (c.total.present) {
        if (m_end->total == m_start->total) {
            why = FormatC("эталон: объем %.6f м3 не изменился за цикл (показание стоит)", m_end->total);
            return std::nullopt;
        }
        ge = FlowFromTotals(*m_start, *m_end, c.total);
    } else {
        double sum = 0;
        for (double r : m_rates)
            sum += r;
        ge = m_rates.empty() ? NAN : sum / static_cast<double>(m_rates.size());
        if (m_rates.size() >= 2 && m_start->rate == m_end->rate) {
            bool same = true;
            for (double r : m_rates)
                same = same && r == m_rates.front();
            if (same) {
                why = FormatC("эталон: расход %g м3/ч не изменился ни разу за цикл (показание стоит)", ge);
                return std::nullopt;
            }
        }
    }
    if (!IsRigFlow(ge)) {
        why = FormatC("эталон: расход %g м3/ч не принят (", ge) + RigFlowProblem(ge) + ")";
        return std::nullopt;
    }
    return ge;
}

std::string CRigReferenceFlow::SourceText() const
{
    return "эталон по Modbus (" + m_rig.Config().LinkText() + "), " +
           (m_rig.Config().total.present ? "ΔV/Δt по объему" : "среднее показаний расхода");
}

std::optional<double> CRigReferenceFlow::WaterTemperature()
{
    std::lock_guard lock(m_lock);
    if (m_temperatureCount == 0)
        return std::nullopt;
    return m_temperatureSum / m_temperatureCount;
}

double CRigReferenceFlow::TimingErrorPercent()
{
    std::lock_guard lock(m_lock);
    if (!m_start || !m_end || m_end->at <= m_start->at)
        return NAN;
    const double span = std::chrono::duration<double>(m_end->at - m_start->at).count();
    const double error = std::chrono::duration<double>(m_start->halfSpan + m_end->halfSpan).count();
    return error / span * 100;
}
