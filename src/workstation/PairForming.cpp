#include "PairForming.h"

#include "MeasurementRows.h"
#include "TextGrid.h"
#include "calibration/Characteristic.h"
#include "common/NumberText.h"

#include <cmath>
#include <vector>

namespace {
// Sums and counts per column: an empty cell (a meter without a result in
// that row) is left out of its column's mean.
struct Group {
    std::vector<double> sum;
    std::vector<int> n;
    int rows = 0;

    void Add(const std::vector<double>& value, const std::vector<bool>& present)
    {
        if (sum.empty()) {
            sum.assign(value.size(), 0.0);
            n.assign(value.size(), 0);
        }
        for (size_t k = 0; k < value.size(); ++k)
            if (k == 0 || present[k]) {
                sum[k] += value[k];
                ++n[k];
            }
        ++rows;
    }
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

bool FormPairs(CTextGrid& measurements, CTextGrid& pairs, const OccupiedSlots& occupied,
               std::vector<std::string>* skipped)
{
    if (skipped)
        skipped->clear();
    if (measurements.RowCount() < 5)
        return false;
    SortMeasurementRows(measurements);

    std::vector<int> cols{0};
    for (size_t s = 0; s < occupied.size(); ++s)
        if (occupied[s])
            cols.push_back(static_cast<int>(s) + 1);

    const int last = measurements.RowCount() - 2;
    // Read every number first, so that a bad cell leaves the pairs table alone.
    // Rows and cells that can give no pair are left out, each named.
    std::vector<std::vector<double>> value;
    std::vector<std::vector<bool>> present;
    std::vector<std::string> notes;
    for (int r = kFirstDataRow; r <= last; ++r) {
        std::vector<double> v;
        std::vector<bool> p;
        for (int c : cols) {
            v.push_back(CellNumberOrZero(measurements, c, r));
            p.push_back(!measurements.CellEmpty(c, r));
        }
        const std::string row = FormatC("строка %d (Ge ", r - kFirstDataRow + 1) + measurements.Cell(0, r) + ")";
        if (const std::string why = PairValueFault("Ge", v[0]); !why.empty()) {
            notes.push_back(row + ": " + why);
            continue;
        }
        for (size_t k = 1; k < cols.size(); ++k) {
            if (!p[k])
                continue;
            if (const std::string why = PairFault(v[k], v[0]); !why.empty()) {
                const std::string meter = measurements.Cell(cols[k], 1);
                notes.push_back(row + (meter.empty() ? FormatC(", столбец %d", cols[k]) : ", счетчик № " + meter) +
                                ": " + why);
                p[k] = false;
            }
        }
        value.push_back(std::move(v));
        present.push_back(std::move(p));
    }
    if (skipped)
        *skipped = notes;
    if (value.empty())
        return false;

    // NaN marks a column without any value in its group.
    std::vector<std::vector<double>> means;
    Group group;
    group.Add(value[0], present[0]);
    auto close = [&] {
        std::vector<double> mean;
        for (size_t k = 0; k < group.sum.size(); ++k)
            mean.push_back(group.n[k] > 0 ? group.sum[k] / group.n[k] : std::nan(""));
        means.push_back(std::move(mean));
    };
    for (size_t i = 1; i < value.size(); ++i) {
        const double g = value[i][0];
        double d;
        if (g != 0)
            d = std::fabs(1 - (group.sum[0] / group.rows) / g);
        else
            d = group.sum[0] == 0 ? 0 : 1;
        if (d >= 0.05) {
            close();
            group = Group{};
        }
        group.Add(value[i], present[i]);
    }
    close();

    ResetPairsTable(pairs);
    for (size_t p = 0; p < means.size(); ++p) {
        const int row = pairs.RowCount() - 1;
        const bool lastGroup = p + 1 == means.size();
        pairs.SetCell(0, row, CellText(lastGroup ? "%.7f" : "%.7g", means[p][0]));
        for (size_t k = 1; k < cols.size(); ++k)
            if (!std::isnan(means[p][k]))
                pairs.SetCell(cols[k], row, CellText("%.6E", means[p][k]));
        AppendBlankRow(pairs);
    }
    return true;
}
