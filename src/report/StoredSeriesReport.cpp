#include "StoredSeriesReport.h"

#include "ProtocolReport.h"
#include "ReportDate.h"
#include "workstation/StoredSeriesTables.h"

#include <cstdio>

std::time_t RecordTime(const std::string& text)
{
    std::tm tm{};
    if (std::sscanf(text.c_str(), "%d-%d-%d %d:%d:%d", &tm.tm_year, &tm.tm_mon, &tm.tm_mday, &tm.tm_hour,
                    &tm.tm_min, &tm.tm_sec) != 6)
        return 0;
    tm.tm_year -= 1900;
    tm.tm_mon -= 1;
    tm.tm_isdst = -1;
    const std::time_t t = std::mktime(&tm);
    return t == static_cast<std::time_t>(-1) ? 0 : t;
}

StoredSeriesTables StoredSeriesReportTables(const StoredSeries& stored,
                                            const std::function<bool(uint32_t number)>& standardError)
{
    StoredSeriesTables out;
    out.tables.SetTitles();
    out.page = RenderStoredSeries(stored, out.tables, standardError);
    out.when = RecordTime(stored.series.ended.empty() ? stored.series.started : stored.series.ended);
    if (out.when == 0)
        out.when = RecordTime(stored.series.started);
    return out;
}

std::string StoredSeriesReportStem(const StoredSeries& stored)
{
    const StoredSeriesTables t = StoredSeriesReportTables(stored);
    return ReportKindWord(t.page) + " " + ReportFileStamp(t.when) + " серия " + std::to_string(stored.series.id);
}

std::vector<std::string> WriteStoredSeriesReport(const StoredSeries& stored, const std::string& templatePath,
                                                 const std::string& outPath)
{
    const StoredSeriesTables t = StoredSeriesReportTables(stored);
    return WriteProtocolReport(t.tables, t.page, templatePath, outPath,
                               ReportDateTimeText(t.when != 0 ? t.when : std::time(nullptr)));
}
