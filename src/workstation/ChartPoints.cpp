#include "ChartPoints.h"

#include "calibration/CGiGeArray.h"

#include <algorithm>
#include <cmath>

int CChartPoints::Add(double x, double y)
{
    const auto at = std::upper_bound(m_points.begin(), m_points.end(), x,
                                     [](double value, const ChartPoint& p) { return value < p.X; });
    const auto index = at - m_points.begin();
    m_points.insert(at, ChartPoint{x, y});
    return static_cast<int>(index);
}

void CChartPoints::Delete(int index)
{
    if (index < 0 || index >= Count())
        return;
    m_points.erase(m_points.begin() + index);
}

std::vector<ChartPoint> DeviationPoints(const CGiGeArray& table)
{
    std::vector<ChartPoint> points;
    const int count = table.GetCount();
    if (count < 2)
        return points;
    float refGi = 0, refGe = 0;
    table.GetPair(0, refGi, refGe);
    for (int i = 1; i < count; ++i) {
        float gi, ge;
        table.GetPair(i, gi, ge);
        if (std::fabs(ge) > std::fabs(refGe)) {
            refGi = gi;
            refGe = ge;
        }
    }
    if (refGi == 0)
        return points;
    const double slope = static_cast<double>(refGe) / refGi;
    for (int i = 0; i < count; ++i) {
        float gi, ge;
        table.GetPair(i, gi, ge);
        if (ge == 0)
            continue;
        const double d = 100.0 * (ge - gi * slope) / std::fabs(static_cast<double>(ge));
        if (!std::isfinite(d))
            return {};
        points.push_back(ChartPoint{gi, d});
    }
    return points;
}
