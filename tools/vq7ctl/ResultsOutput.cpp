#include "ResultsOutput.h"

#include "common/AppPaths.h"
#include "common/WriteJournal.h"
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
    if (!message.empty())
        std::fprintf(stderr, "vq7ctl: %s; records wait in the spool %s\n", message.c_str(),
                     (DataDir() + "/results-spool.sqlite").c_str());
}
