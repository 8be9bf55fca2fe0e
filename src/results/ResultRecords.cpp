#include "ResultRecords.h"

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

std::string RecordTimeNow()
{
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &tm);
    return text;
}
