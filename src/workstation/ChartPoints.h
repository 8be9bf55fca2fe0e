#pragma once
// The editor's chart data without a chart: the points of the characteristic
// kept in ascending X order, and the deviation of each pair from the straight
// line through the origin and the pair of largest |Ge|.
#include <cstddef>
#include <vector>

class CGiGeArray;

struct ChartPoint {
    double X;
    double Y;
};

class CChartPoints {
public:
    void Clear() { m_points.clear(); }
    // Inserts at its X position, after points of equal X; returns its index.
    int Add(double x, double y);
    // An index outside the list changes nothing.
    void Delete(int index);
    int Count() const { return static_cast<int>(m_points.size()); }
    double X(int index) const { return m_points.at(static_cast<size_t>(index)).X; }
    double Y(int index) const { return m_points.at(static_cast<size_t>(index)).Y; }
    const std::vector<ChartPoint>& Points() const { return m_points; }

private:
    std::vector<ChartPoint> m_points;
};

// Points (Gi, deviation in %) in table order; pairs with Ge = 0 get none.
// Empty for fewer than two pairs or when the reference pair has Gi = 0.
std::vector<ChartPoint> DeviationPoints(const CGiGeArray& table);
