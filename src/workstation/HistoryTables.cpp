#include "HistoryTables.h"

#include "CellNumbers.h"

#include <algorithm>
#include <cerrno>
#include <csignal>

const char* SeriesKindText(const std::string& kind)
{
    if (kind == "verification")
        return "поверка";
    if (kind == "calibration")
        return "градуировка";
    return "измерение";
}

std::string SeriesStateText(const SeriesRecord& s, const std::string& station)
{
    switch (s.state) {
    case SeriesState::Complete: return "завершена";
    case SeriesState::Cancelled: return "отменена";
    case SeriesState::Failed: return "ошибка";
    case SeriesState::Running: break;
    }
    if (s.station == station && s.pid > 0 && ::kill(static_cast<pid_t>(s.pid), 0) != 0 && errno == ESRCH)
        return "прервана";
    return "идёт";
}

CTextGrid HistoryListGrid(const std::vector<SeriesSummary>& list)
{
    CTextGrid grid(HL_COLUMNS, static_cast<int>(list.size()) + 1, 0, 1);
    const char* titles[HL_COLUMNS] = {"Дата", "Вид", "Станция", "Оператор", "Эталон", "Точек", "Заключение"};
    const int widths[HL_COLUMNS] = {110, 80, 80, 90, 120, 45, 75};
    for (int c = 0; c < HL_COLUMNS; ++c) {
        grid.SetCell(c, 0, titles[c]);
        grid.SetColWidth(c, widths[c]);
    }
    int row = 1;
    for (const SeriesSummary& s : list) {
        grid.SetCell(HL_DATE, row, s.series.started.substr(0, 16));
        grid.SetCell(HL_KIND, row, SeriesKindText(s.series.kind));
        grid.SetCell(HL_STATION, row, s.series.station);
        grid.SetCell(HL_OPERATOR, row, s.series.operatorName);
        grid.SetCell(HL_REFERENCE, row, s.series.reference);
        grid.SetCell(HL_POINTS, row, std::to_string(s.points));
        grid.SetCell(HL_VERDICT, row, s.verdict.empty() ? "-" : s.verdict);
        ++row;
    }
    return grid;
}

long long LinkedSeriesId(const SeriesRecord& series)
{
    return series.asFoundId ? series.asFoundId : series.asLeftId;
}

LinkedSeries LinkSeries(const StoredSeries& chosen, const StoredSeries* other)
{
    LinkedSeries out;
    const SeriesRecord& s = chosen.series;
    if (other && s.asFoundId != 0 && other->series.id == s.asFoundId) {
        out.asFound = other;
        out.asLeft = &chosen;
    } else if (other && s.asLeftId != 0 && other->series.id == s.asLeftId) {
        out.asFound = &chosen;
        out.asLeft = other;
    } else {
        out.asFound = &chosen;   // alone: one block
    }
    return out;
}

namespace {
std::vector<MeterRecord> ShownMeters(const StoredSeries& s, uint32_t number)
{
    std::vector<MeterRecord> meters;
    for (const MeterRecord& m : s.meters)
        if (number == 0 || m.number == number)
            meters.push_back(m);
    std::sort(meters.begin(), meters.end(), [](const MeterRecord& a, const MeterRecord& b) { return a.slot < b.slot; });
    return meters;
}

std::string ReadingText(const PointRecord& p, const MeterRecord& m, bool verification)
{
    for (const ReadingRecord& r : p.readings) {
        if (r.slot != m.slot)
            continue;
        if (verification && r.error)
            return CellText("%.3f", *r.error);
        if (!verification && r.gi)
            return CellText("%.6g", *r.gi);
        return r.result != 0 ? "код " + std::to_string(r.result) : "";
    }
    return "";
}

// "До градуировки: поверка 2026-12-09 13:34"; alone "Поверка 2026-12-09 13:34".
std::string BlockTitle(const StoredSeries& s, const char* role)
{
    const std::string when = " " + s.series.started.substr(0, 16);
    if (role[0] != 0)
        return role + std::string(SeriesKindText(s.series.kind)) + when;
    const std::string& kind = s.series.kind;
    return (kind == "verification" ? "Поверка" : kind == "calibration" ? "Градуировка" : "Измерение") + when;
}

struct Block {
    const StoredSeries* series;
    std::string title;
    std::vector<MeterRecord> meters;
    int Columns() const { return 2 + static_cast<int>(meters.size()); }
};
}

CTextGrid SeriesPointsGrid(const StoredSeries& chosen, const StoredSeries* linked, uint32_t number)
{
    const LinkedSeries pair = LinkSeries(chosen, linked);
    std::vector<Block> blocks;
    if (pair.asFound && pair.asLeft) {
        blocks.push_back({pair.asFound, BlockTitle(*pair.asFound, "До градуировки: "), {}});
        blocks.push_back({pair.asLeft, BlockTitle(*pair.asLeft, "После градуировки: "), {}});
    } else {
        blocks.push_back({&chosen, BlockTitle(chosen, ""), {}});
    }
    int cols = 1;
    size_t rows = 0;
    for (Block& b : blocks) {
        b.meters = ShownMeters(*b.series, number);
        cols += b.Columns();
        rows = std::max(rows, b.series->points.size());
    }
    CTextGrid grid(cols, static_cast<int>(rows) + 2, 0, 2);
    grid.SetCell(0, 1, "№");
    grid.SetColWidth(0, 30);
    int col = 1;
    for (const Block& b : blocks) {
        const bool verification = b.series->series.kind == "verification";
        grid.SetCell(col, 0, b.title);
        grid.SetCell(col, 1, "Q уст., м3/ч");
        grid.SetCell(col + 1, 1, "Gэт, м3/ч");
        for (size_t m = 0; m < b.meters.size(); ++m) {
            const int c = col + 2 + static_cast<int>(m);
            grid.SetCell(c, 1, "№ " + std::to_string(b.meters[m].number) + (verification ? ", %" : ", Gi"));
        }
        // The block's title stands over its first column.
        grid.SetColWidth(col, 150);
        for (int c = col + 1; c < col + b.Columns(); ++c)
            grid.SetColWidth(c, 90);
        for (size_t i = 0; i < b.series->points.size(); ++i) {
            const PointRecord& p = b.series->points[i];
            const int row = static_cast<int>(i) + 2;
            if (p.setFlow)
                grid.SetCell(col, row, CellText("%.4g", *p.setFlow));
            grid.SetCell(col + 1, row, CellText("%.6g", p.ge));
            for (size_t m = 0; m < b.meters.size(); ++m)
                grid.SetCell(col + 2 + static_cast<int>(m), row, ReadingText(p, b.meters[m], verification));
        }
        col += b.Columns();
    }
    for (size_t i = 0; i < rows; ++i)
        grid.SetCell(0, static_cast<int>(i) + 2, std::to_string(i + 1));
    return grid;
}
