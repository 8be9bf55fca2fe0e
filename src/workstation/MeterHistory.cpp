#include "MeterHistory.h"

#include "CellNumbers.h"

#include "results/ResultStore.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr double kSameFlow = 0.05;

// The meter's error at each point of a series, with the point's flow.
std::vector<std::pair<double, double>> ErrorsOf(const StoredSeries& s, uint32_t number)
{
    std::vector<std::pair<double, double>> out;
    for (const PointRecord& p : s.points)
        for (const ReadingRecord& r : p.readings)
            if (r.number == number && r.error && std::isfinite(*r.error))
                out.emplace_back(p.setFlow ? *p.setFlow : p.ge, *r.error);
    return out;
}

std::string VerdictOf(const StoredSeries& s, uint32_t number)
{
    for (const VerdictRecord& v : s.verdicts)
        if (v.number == number)
            return v.verdict;
    return "";
}

const MeterRecord* MeterOf(const StoredSeries& s, uint32_t number)
{
    for (const MeterRecord& m : s.meters)
        if (m.number == number)
            return &m;
    return nullptr;
}
}

MeterDrift BuildMeterDrift(const std::vector<StoredSeries>& oldestFirst, uint32_t number)
{
    MeterDrift drift;
    for (const StoredSeries& s : oldestFirst) {
        const auto errors = ErrorsOf(s, number);
        if (errors.empty())
            continue;
        const double x = static_cast<double>(drift.dates.size());
        drift.dates.push_back(s.series.started);
        drift.seriesIds.push_back(s.series.id);
        for (const auto& [flow, error] : errors) {
            auto line = std::find_if(drift.lines.begin(), drift.lines.end(), [flow = flow](const DriftLine& l) {
                return std::fabs(flow - l.flow) <= kSameFlow * std::max(std::fabs(l.flow), 1e-9);
            });
            if (line == drift.lines.end()) {
                DriftLine l;
                l.flow = flow;
                l.name = "Q = " + CellText("%.4g", flow) + " м3/ч";
                drift.lines.push_back(l);
                line = drift.lines.end() - 1;
            }
            if (!line->points.empty() && line->points.back().X == x)
                line->points.back().Y = error;
            else
                line->points.push_back({x, error});
        }
    }
    std::sort(drift.lines.begin(), drift.lines.end(),
              [](const DriftLine& a, const DriftLine& b) { return a.flow < b.flow; });
    return drift;
}

std::vector<StoredSeries> LoadSeriesOf(CResultStore& store, const HistoryFilter& filter)
{
    std::vector<StoredSeries> out;
    for (const SeriesSummary& s : store.ListSeries(filter))
        if (auto stored = store.LoadSeries(s.series.id))
            out.push_back(std::move(*stored));
    return out;
}

MeterCard BuildMeterCard(const std::vector<StoredSeries>& oldestFirst, uint32_t number)
{
    MeterCard card;
    card.number = number;
    for (auto it = oldestFirst.rbegin(); it != oldestFirst.rend(); ++it) {
        const StoredSeries& s = *it;
        const MeterRecord* m = MeterOf(s, number);
        if (!m)
            continue;
        if (!card.found) {
            card.found = true;
            card.model = m->model;
            card.version = m->version;
            card.dn = m->dn;
        }
        if (s.series.kind == "calibration" && !card.lastCalibration) {
            card.lastCalibration = CardSeries{s.series, VerdictOf(s, number)};
            card.pairs = static_cast<int>(
                std::count_if(s.pairs.begin(), s.pairs.end(), [&](const PairRecord& p) { return p.number == number; }));
            for (const WriteRecord& w : s.writes)
                if (w.number == number && w.result == 0 && w.operation == "запись пар")
                    card.pairsWritten = w.time;
        }
        if (s.series.kind == "verification" && !card.lastVerification)
            card.lastVerification = CardSeries{s.series, VerdictOf(s, number)};
    }
    return card;
}

MeterCard LoadMeterCard(CResultStore& store, uint32_t number)
{
    if (number == 0)
        return MeterCard{};
    HistoryFilter filter;
    filter.number = number;
    const std::vector<SeriesSummary> list = store.ListSeries(filter);
    // Newest first, only until the latest of each kind is in hand.
    std::vector<StoredSeries> needed;
    bool calibration = false, verification = false;
    for (auto it = list.rbegin(); it != list.rend() && !(calibration && verification); ++it) {
        const std::string& kind = it->series.kind;
        const bool first = needed.empty();
        if (!first && (kind == "calibration" ? calibration : kind == "verification" ? verification : true))
            continue;
        if (auto stored = store.LoadSeries(it->series.id)) {
            calibration = calibration || kind == "calibration";
            verification = verification || kind == "verification";
            needed.insert(needed.begin(), std::move(*stored));
        }
    }
    return BuildMeterCard(needed, number);
}

namespace {
std::string SeriesLine(const char* what, const std::optional<CardSeries>& s)
{
    if (!s)
        return std::string(what) + ": нет\n";
    const SeriesRecord& r = s->series;
    std::string line = std::string(what) + ": " + r.started.substr(0, 16);
    if (!s->verdict.empty())
        line += ", " + s->verdict;
    else if (r.state != SeriesState::Complete)
        line += ", " + std::string(r.state == SeriesState::Running     ? "не завершена"
                                   : r.state == SeriesState::Cancelled ? "отменена"
                                                                       : "ошибка");
    if (!r.operatorName.empty())
        line += " (" + r.operatorName + ")";
    return line + "\n";
}
}

std::string MeterCardText(const MeterCard& card)
{
    if (card.number == 0)
        return "";
    std::string text = "Счетчик № " + std::to_string(card.number) + "\n";
    if (!card.found)
        return text + "В базе результатов нет серий этого счетчика.\n";
    text += "Модель: " + card.model + "\n";
    text += "Версия: " + card.version + "\n";
    text += "Ду: " + card.dn + "\n";
    if (card.pairs < 0)
        text += "Пар: нет данных\n";
    else
        text += "Пар: " + std::to_string(card.pairs) +
                (card.pairsWritten.empty() ? ", в счетчик не записаны" : ", записаны " + card.pairsWritten.substr(0, 16)) +
                "\n";
    text += SeriesLine("Последняя градуировка", card.lastCalibration);
    text += SeriesLine("Последняя поверка", card.lastVerification);
    return text;
}
