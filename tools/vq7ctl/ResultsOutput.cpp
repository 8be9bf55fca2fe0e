#include "ResultsOutput.h"

#include "common/AppPaths.h"
#include "common/NumberText.h"
#include "common/WriteJournal.h"
#include "measurement/CSystem.h"
#include "results/ResultsRecorder.h"
#include "workstation/SeriesResults.h"

#include <cstdio>
#include <memory>

namespace {
std::string ConfigPath(const CtlContext& ctx)
{
    return ctx.opts.configFile.empty() ? DataDir() + "/config.ini" : ctx.opts.configFile;
}
}

bool CtlStoreLocation(CtlContext& ctx, StoreLocation& out)
{
    const ResultsSettings settings = LoadResultsSettings(ConfigPath(ctx));
    std::string text = ctx.opts.database;
    if (text.empty())
        text = settings.database;
    if (text.empty())
        text = DataDir() + "/results.sqlite";
    std::string error;
    if (!ParseStoreLocation(text, out, error)) {
        ctx.Fail(error);
        return false;
    }
    return true;
}

CResultsRecorder* CtlRecorder(CtlContext& ctx)
{
    static std::unique_ptr<CResultsRecorder> recorder;
    if (recorder)
        return recorder.get();
    StoreLocation location;
    if (!CtlStoreLocation(ctx, location))
        return nullptr;
    recorder = std::make_unique<CResultsRecorder>(location, DataDir() + "/results-spool.sqlite");
    const ResultsSettings settings = LoadResultsSettings(ConfigPath(ctx));
    if (!settings.station.empty())
        recorder->station = settings.station;
    CResultsRecorder* r = recorder.get();
    CWriteJournal::SetRecordSink([r](const WriteJournalEntry& e) {
        r->AddWrite(WriteRecordOf(e));
        ShowRecorderMessage(*r);
    });
    return r;
}

void ShowRecorderMessage(CResultsRecorder& recorder)
{
    const std::string message = recorder.TakeNewMessage();
    if (message.empty())
        return;
    if (const long long waiting = recorder.Pending())
        std::fprintf(stderr, "vq7ctl: %s; %lld records wait in the spool %s\n", message.c_str(), waiting,
                     (DataDir() + "/results-spool.sqlite").c_str());
    else
        std::fprintf(stderr, "vq7ctl: %s\n", message.c_str());
}

void RecordMeasurement(CtlContext& ctx, CSystem& sys, const std::vector<uint32_t>& numbers)
{
    CResultsRecorder* r = CtlRecorder(ctx);
    if (!r)
        return;
    r->Connect();
    r->BeginSeries("measurement");
    std::vector<MeterRecord> meters;
    PointRecord point;
    point.ge = sys.GetCycleGe();
    for (size_t slot = 0; slot < numbers.size(); ++slot) {
        const int s = static_cast<int>(slot);
        const VQ7_INFO info = sys.GetMeterInfo(s);
        meters.push_back({s, numbers[slot], info.m_sModel, info.m_sFullVersion, ""});
        ReadingRecord reading{s, numbers[slot], std::nullopt, std::nullopt, std::nullopt, 0};
        float gi = 0, gv = 0;
        sys.GetCycleResult(s, &gi, &gv);
        if (sys.HasCycleResult(s)) {
            reading.gi = gi;
            reading.gv = gv;
        } else {
            reading.result = sys.GetLastCycleResult() != 0 ? sys.GetLastCycleResult() : 1016;
        }
        point.readings.push_back(reading);
    }
    r->SetMeters(meters);
    r->AddPoint(point);
    r->EndSeries(SeriesState::Complete);
    ShowRecorderMessage(*r);
    if (r->SeriesStored()) {
        ctx.doc["series_id"] = r->StoredSeriesId();
        ctx.Print(FormatC("results: series %lld in ", r->StoredSeriesId()) + r->Location().shown);
    }
}
