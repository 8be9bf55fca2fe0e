#include "PairForming.h"

#include "MeasurementRows.h"
#include "TextGrid.h"

#include <cmath>
#include <vector>

namespace {
struct Group {
    std::vector<double> sum;
    int n = 0;
};
}

int PairRowCount(const CTextGrid& pairs)
{
    const int n = pairs.RowCount() - 2;
    return n > 0 ? n : 0;
}

void ResetPairsTable(CTextGrid& pairs)
{
    pairs.SetRowCount(2);
    pairs.ClearRow(1);
}

bool FormPairs(CTextGrid& measurements, CTextGrid& pairs, const OccupiedSlots& occupied)
{
    if (measurements.RowCount() < 5)
        return false;
    SortMeasurementRows(measurements);

    std::vector<int> cols{0};
    for (size_t s = 0; s < occupied.size(); ++s)
        if (occupied[s])
            cols.push_back(static_cast<int>(s) + 1);

    const int last = measurements.RowCount() - 2;
    // Read every number first, so that a bad cell leaves the pairs table alone.
    std::vector<std::vector<double>> value;
    std::vector<std::vector<bool>> present;
    for (int r = kFirstDataRow; r <= last; ++r) {
        std::vector<double> v;
        std::vector<bool> p;
        for (int c : cols) {
            v.push_back(CellNumberOrZero(measurements, c, r));
            p.push_back(!measurements.CellEmpty(c, r));
        }
        value.push_back(std::move(v));
        present.push_back(std::move(p));
    }

    std::vector<std::vector<double>> means;
    Group group{value[0], 1};
    auto close = [&] {
        std::vector<double> mean;
        for (double s : group.sum)
            mean.push_back(s / group.n);
        means.push_back(std::move(mean));
    };
    for (size_t i = 1; i < value.size(); ++i) {
        const double g = value[i][0];
        double d;
        if (g != 0)
            d = std::fabs(1 - (group.sum[0] / group.n) / g);
        else
            d = group.sum[0] == 0 ? 0 : 1;
        if (d < 0.05) {
            for (size_t k = 0; k < cols.size(); ++k)
                if (present[i][k])
                    group.sum[k] += value[i][k];
            ++group.n;
        } else {
            close();
            group = Group{value[i], 1};
        }
    }
    close();

    ResetPairsTable(pairs);
    for (size_t p = 0; p < means.size(); ++p) {
        const int row = pairs.RowCount() - 1;
        const bool lastGroup = p + 1 == means.size();
        pairs.SetCell(0, row, CellText(lastGroup ? "%.7f" : "%.7g", means[p][0]));
        for (size_t k = 1; k < cols.size(); ++k)
            pairs.SetCell(cols[k], row, CellText("%.6E", means[p][k]));
        AppendBlankRow(pairs);
    }
    return true;
}
