#include "ResultRecords.h"

#include "common/WriteJournal.h"

#include <ctime>

const char* SeriesStateName(SeriesState state)
{
    switch (state) {
    case SeriesState::Running: return "running";
    case SeriesState::Complete: return "complete";
    case SeriesState::Cancelled: return "cancelled";
    case SeriesState::Failed: return "failed";
    }
    return "failed";
}

SeriesState SeriesStateFromName(const std::string& name)
{
    if (name == "running")
        return SeriesState::Running;
    if (name == "complete")
        return SeriesState::Complete;
    if (name == "cancelled")
        return SeriesState::Cancelled;
    return SeriesState::Failed;
}

std::string RecordTimeNow() { return JournalTimeNow(); }
