// history: the series kept in the results store, and one series' report again.
#include "Commands.h"

#include "ReportOutput.h"
#include "ResultsOutput.h"
#include "common/AppPaths.h"
#include "common/NumberText.h"
#include "report/ResultsCsv.h"
#include "results/ResultStore.h"
#include "results/ResultsRecorder.h"
#include "results/StoreError.h"
#include "report/StoredSeriesReport.h"
#include "workstation/AsFoundJudgement.h"
#include "workstation/HistoryTables.h"
#include "workstation/PointVerdicts.h"
#include "workstation/ProfileFile.h"

#include <regex>

namespace {
bool IsDate(const std::string& text)
{
    return std::regex_match(text, std::regex("[0-9]{4}-[0-9]{2}-[0-9]{2}"));
}

CtlJson SeriesJson(const SeriesRecord& s, const std::string& station)
{
    return CtlJson{{"id", s.id},
                   {"date", s.started.substr(0, 10)},
                   {"started", s.started},
                   {"ended", s.ended},
                   {"kind", s.kind},
                   {"station", s.station},
                   {"operator", s.operatorName},
                   {"reference", s.reference},
                   {"state", SeriesStateText(s, station)},
                   {"as_found", s.asFoundId ? CtlJson(s.asFoundId) : CtlJson()},
                   {"as_left", s.asLeftId ? CtlJson(s.asLeftId) : CtlJson()}};
}

int ShowSeries(CtlContext& ctx, CtlArgs& args, CResultStore& store, const std::string& station)
{
    unsigned long long id = 0;
    if (!ParseUnsigned(args.Get("series"), ~0ull >> 1, id) || id == 0)
        return ctx.Usage("history: --series takes a series id");
    ReportArgs report;
    if (const int rc = ParseReportArgs(ctx, args, "history", report))
        return rc;
    const auto stored = store.LoadSeries(static_cast<long long>(id));
    if (!stored)
        return ctx.Fail(FormatC("history: no series %llu in ", id) + store.Location().shown);
    const SeriesRecord& s = stored->series;
    CtlJson json = SeriesJson(s, station);
    ctx.Print(FormatC("series %lld: ", s.id) + SeriesKindText(s.kind) + ", " + s.started + " .. " + s.ended + ", " +
              SeriesStateText(s, station));
    ctx.Print("station " + s.station + ", operator " + s.operatorName + ", reference " + s.reference);
    if (s.asFoundId)
        ctx.Print(FormatC("as found: series %lld", s.asFoundId));
    if (s.asLeftId)
        ctx.Print(FormatC("as left: series %lld", s.asLeftId));
    CtlJson& meters = json["meters"] = CtlJson::array();
    for (const MeterRecord& m : stored->meters) {
        std::string verdict;
        for (const VerdictRecord& v : stored->verdicts)
            if (v.slot == m.slot)
                verdict = v.verdict;
        meters.push_back(CtlJson{{"slot", m.slot}, {"number", m.number}, {"model", m.model}, {"version", m.version},
                                 {"dn", m.dn}, {"verdict", verdict}});
        ctx.Print(FormatC("meter %u  ", m.number) + m.model + "  " + m.version + "  Ду " + m.dn +
                  (verdict.empty() ? "" : "  " + verdict));
    }
    CtlJson& points = json["points"] = CtlJson::array();
    for (const PointRecord& p : stored->points) {
        CtlJson readings = CtlJson::array();
        std::string line = FormatC("point %d  Ge %g", p.pointNo, p.ge);
        for (const ReadingRecord& r : p.readings) {
            auto opt = [](const std::optional<double>& v) { return v ? CtlJson(*v) : CtlJson(); };
            readings.push_back(CtlJson{{"number", r.number}, {"gi", opt(r.gi)}, {"gv", opt(r.gv)},
                                       {"error", opt(r.error)}, {"result", r.result}});
            line += r.error ? FormatC("  %u: %.3f %%", r.number, *r.error)
                   : r.gi   ? FormatC("  %u: Gi %g", r.number, *r.gi)
                            : FormatC("  %u: result %lld", r.number, r.result);
        }
        points.push_back(CtlJson{{"point", p.pointNo}, {"set_flow", p.setFlow ? CtlJson(*p.setFlow) : CtlJson()},
                                 {"ge", p.ge}, {"time", p.time}, {"readings", readings}});
        ctx.Print(line);
    }
    json["pairs"] = static_cast<int>(stored->pairs.size());
    json["writes"] = static_cast<int>(stored->writes.size());
    ctx.doc["series"] = json;
    if (s.kind != "verification") {
        const StoredSeriesTables shown = StoredSeriesReportTables(*stored);
        return WriteReports(ctx, report, shown.tables, shown.page, nullptr, shown.when);
    }

    // A verification judged by today's profiles, with its as found beside it.
    CProfileSet profiles;
    ReferenceInstrument reference;
    std::string error;
    if (!profiles.Load(args.Get("profiles", DataDir() + "/" + kProfilesFileName), report.tolerance, error))
        std::fprintf(stderr, "vq7ctl: %s\n", error.c_str());
    const StoredSeriesTables shown = StoredSeriesReportTables(*stored, StandardErrorOf(profiles));
    const std::string config = ctx.opts.configFile.empty() ? DataDir() + "/config.ini" : ctx.opts.configFile;
    if (std::string e = LoadReference(config, reference); !e.empty())
        std::fprintf(stderr, "vq7ctl: %s\n", e.c_str());
    const std::vector<MeterJudgement> judged = JudgeVerification(shown.tables.StringGrid3, profiles, reference);
    const CsvJudgement judgement{judged, reference};
    AsFoundJudgement found;
    AsFoundReport asFound;
    if (JudgeAsFound(store, s.id, profiles, reference, found))
        asFound = AsFoundReport{&found.meters, found.asFoundId, found.asLeftId};
    return WriteReports(ctx, report, shown.tables, shown.page, &judgement, shown.when,
                        asFound.meters ? &asFound : nullptr);
}
}

int CmdHistory(CtlContext& ctx, CtlArgs& args)
{
    if (args.positional.size() > 1)
        return ctx.Usage("history [NUMBER] [--from DATE] [--to DATE] | --series ID");
    HistoryFilter filter;
    if (!args.positional.empty() && !ArgMeterNumber(ctx, args.positional[0], filter.number))
        return EXIT_USAGE;
    filter.from = args.Get("from");
    filter.to = args.Get("to");
    if ((args.Has("from") && !IsDate(filter.from)) || (args.Has("to") && !IsDate(filter.to)))
        return ctx.Usage("history: --from and --to take a date YYYY-MM-DD");
    CResultsRecorder* recorder = CtlRecorder(ctx);
    if (!recorder)
        return EXIT_FAILED;
    recorder->Connect();   // what waits in the spool goes first
    ShowRecorderMessage(*recorder);
    ctx.doc["store"] = recorder->Location().shown;
    try {
        CResultStore store(recorder->Location());
        if (args.Has("series"))
            return ShowSeries(ctx, args, store, recorder->station);
        CtlJson list = CtlJson::array();
        for (const SeriesSummary& s : store.ListSeries(filter)) {
            CtlJson j = SeriesJson(s.series, recorder->station);
            j["points"] = s.points;
            j["verdict"] = s.verdict;
            j["meters"] = s.numbers;
            list.push_back(j);
            ctx.Print(FormatC("%6lld  ", s.series.id) + s.series.started + "  " + SeriesKindText(s.series.kind) + "  " +
                      s.series.station + "  " + s.series.operatorName + "  " + s.series.reference +
                      FormatC("  %d points  ", s.points) + (s.verdict.empty() ? "-" : s.verdict) + "  " +
                      SeriesStateText(s.series, recorder->station));
        }
        ctx.doc["series"] = list;
        return EXIT_OK;
    } catch (const EStoreError& e) {
        return ctx.Fail(std::string("history: ") + e.what());
    }
}
