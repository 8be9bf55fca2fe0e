// The measurement model of a virtual meter: the hidden error curve, the
// correction through the pairs and the integration.
#include "sim/VirtualMeter.h"

#include <algorithm>
#include <cmath>

double CVirtualMeter::RawIndicated(double q) const
{
    std::lock_guard lock(m_lock);
    const double a = std::fabs(q);
    const double level = q >= 0 ? m_curve[0] : m_curve[1];
    const double e = level + m_curve[2] * std::exp(-a / m_curve[3]) +
                     m_curve[4] * std::sin(1.7 * std::log1p(a) + m_curve[5]);
    return q * (1.0 + e);
}

double CVirtualMeter::SampleGi(double trueFlow)
{
    double gi = RawIndicated(trueFlow);
    if (m_noise > 0) {
        std::normal_distribution<double> n(0.0, m_noise);
        gi = gi * (1.0 + n(m_rng)) + n(m_rng) * 1e-3;   // relative, and a little at zero flow
    }
    return gi;
}

double CVirtualMeter::Corrected(double gi) const
{
    std::lock_guard lock(m_lock);
    return CorrectedLocked(gi);
}

// Piecewise linear through the pairs (sorted by Gi) over the whole signed axis;
// a table of one direction serves the other mirrored; beyond the end pairs the
// ratio Ge/Gi of the end pair applies.
double CVirtualMeter::CorrectedLocked(double gi) const
{
    std::vector<SimPair> p;
    for (const SimPair& s : m_flash)
        if (std::isfinite(s.gi) && std::isfinite(s.ge) && std::fabs(s.gi) < 1e20f)
            p.push_back(s);
    if (p.empty())
        return gi;
    std::sort(p.begin(), p.end(), [](const SimPair& x, const SimPair& y) { return x.gi < y.gi; });
    const bool allForward = p.front().gi >= 0;
    const bool allReverse = p.back().gi <= 0;
    if ((gi < 0 && allForward && !allReverse) || (gi > 0 && allReverse && !allForward)) {
        // Mirror: the table has only the other direction.
        std::vector<SimPair> m;
        for (auto it = p.rbegin(); it != p.rend(); ++it)
            m.push_back({-it->gi, -it->ge});
        p.swap(m);
    }
    auto ratio = [&](const SimPair& end) { return end.gi != 0 ? gi * end.ge / end.gi : gi; };
    auto along = [&](const SimPair& a, const SimPair& b) {
        if (b.gi == a.gi)
            return static_cast<double>(a.ge);
        return a.ge + (gi - a.gi) * (static_cast<double>(b.ge) - a.ge) / (static_cast<double>(b.gi) - a.gi);
    };
    if (p.size() == 1)
        return ratio(p[0]);
    if (gi <= p.front().gi)
        return (p.front().gi != 0 && (gi < 0) == (p.front().gi < 0)) ? ratio(p.front()) : along(p[0], p[1]);
    if (gi >= p.back().gi)
        return (p.back().gi != 0 && (gi < 0) == (p.back().gi < 0)) ? ratio(p.back())
                                                                   : along(p[p.size() - 2], p.back());
    const auto hi = std::upper_bound(p.begin(), p.end(), gi, [](double v, const SimPair& s) { return v < s.gi; });
    return along(*(hi - 1), *hi);
}

double CVirtualMeter::FlowAt(SimClock::time_point t) const { return m_flowAt ? m_flowAt(t) : 0.0; }

void CVirtualMeter::Advance(SimClock::time_point now)
{
    if (!m_int.running)
        return;
    const auto limit = std::min(now, m_int.end);
    while (m_int.samplesDone < m_int.samplesTotal) {
        const auto at = m_int.start + m_int.period * (m_int.samplesDone + 1);
        if (at > limit)
            break;
        const double gi = SampleGi(FlowAt(at));
        m_int.sumGi += gi;
        m_int.sumAbsGi += std::fabs(gi);
        m_int.sumGv += CorrectedLocked(gi);
        ++m_int.samplesDone;
    }
    if (now >= m_int.end)
        m_int.running = false;
}

void CVirtualMeter::SetIntegrationMs(unsigned ms)
{
    std::lock_guard lock(m_lock);
    m_integrationMs = std::clamp(ms, 10u, 3600000u);
}

bool CVirtualMeter::Measuring() const
{
    std::lock_guard lock(m_lock);
    return m_int.measuring;
}

bool CVirtualMeter::Integrating() const
{
    std::lock_guard lock(m_lock);
    return m_int.running && SimClock::now() < m_int.end;
}

SimClock::time_point CVirtualMeter::IntegrationStart() const
{
    std::lock_guard lock(m_lock);
    return m_int.start;
}

SimClock::time_point CVirtualMeter::IntegrationEnd() const
{
    std::lock_guard lock(m_lock);
    return m_int.end;
}
