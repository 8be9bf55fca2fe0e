#include "SeriesEnd.h"

#include "MainTables.h"
#include "MeasurementRows.h"
#include "WindowState.h"
#include "common/OperatorInterface.h"

#include <algorithm>

namespace {

const CTextGrid& TableOf(const CMainTables& tables, size_t index)
{
    return index == 0 ? tables.StringGrid2 : tables.StringGrid3;
}

std::string RowKey(const CTextGrid& grid, int row)
{
    std::string key;
    for (const std::string& cell : grid.RowCells(row))
        key += cell + '\t';
    return key;
}

std::vector<std::string> RowKeys(const CTextGrid& grid)
{
    std::vector<std::string> keys;
    for (int r = kFirstDataRow; r < kFirstDataRow + DataRowCount(grid); ++r)
        keys.push_back(RowKey(grid, r));
    std::sort(keys.begin(), keys.end());
    return keys;
}

// "1 точка не вошла", "3 точки не вошли", "11 точек не вошли", "21 точка не вошла".
std::string PointsNotReportedText(int n)
{
    const int mod100 = n % 100, mod10 = n % 10;
    const bool teen = mod100 >= 11 && mod100 <= 14;
    const char* word = teen ? "точек" : mod10 == 1 ? "точка" : (mod10 >= 2 && mod10 <= 4) ? "точки" : "точек";
    const char* verb = !teen && mod10 == 1 ? "не вошла" : "не вошли";
    return std::to_string(n) + " " + word + " " + verb;
}

}  // namespace

void CReportedRows::MarkReported(int page)
{
    if (page == PAGE_CALIBRATION)
        m_reported[0] = RowKeys(m_tables.StringGrid2);
    else if (page == PAGE_VERIFICATION)
        m_reported[1] = RowKeys(m_tables.StringGrid3);
}

void CReportedRows::Clear()
{
    for (auto& keys : m_reported)
        keys.clear();
}

int CReportedRows::UnreportedCount() const
{
    int count = 0;
    for (size_t t = 0; t < m_reported.size(); ++t) {
        const std::vector<std::string> now = RowKeys(TableOf(m_tables, t));
        std::vector<std::string> fresh;
        std::set_difference(now.begin(), now.end(), m_reported[t].begin(), m_reported[t].end(),
                            std::back_inserter(fresh));
        count += static_cast<int>(fresh.size());
    }
    return count;
}

std::string SeriesEndQuestion(int rows, bool stored)
{
    std::string text = "Завершить серию? " + PointsNotReportedText(rows) + " в протокол, таблицы будут очищены.";
    if (stored)
        text += " Результаты сохранены в истории.";
    return text;
}

bool ConfirmSeriesEnd(const CReportedRows& rows, bool stored)
{
    const int count = rows.UnreportedCount();
    return count == 0 || Operator().Confirm(SeriesEndQuestion(count, stored));
}
