#include "ReportDate.h"

#include <cstdlib>
#include <langinfo.h>
#include <locale.h>

namespace {
std::string EnvironmentTimeLocale()
{
    for (const char* var : {"LC_ALL", "LC_TIME", "LANG"})
        if (const char* v = std::getenv(var); v && *v)
            return v;
    return "C";
}

bool IsPlainC(const std::string& name)
{
    return name.empty() || name == "C" || name == "POSIX" || name.rfind("C.", 0) == 0;
}

std::string Format(const char* fmt, const std::tm& tm, locale_t loc)
{
    char buf[128];
    const size_t n = loc ? strftime_l(buf, sizeof buf, fmt, &tm, loc) : std::strftime(buf, sizeof buf, fmt, &tm);
    return std::string(buf, n);
}
}

std::string ReportDateTimeText(std::time_t when, const std::string& localeName)
{
    std::tm tm{};
    localtime_r(&when, &tm);
    const std::string name = localeName.empty() ? EnvironmentTimeLocale() : localeName;
    locale_t loc = IsPlainC(name) ? static_cast<locale_t>(nullptr)
                                  : newlocale(LC_TIME_MASK, name.c_str(), static_cast<locale_t>(nullptr));
    if (!loc)
        return Format("%d.%m.%Y %H:%M:%S", tm, nullptr);
    const std::string date = Format(nl_langinfo_l(D_FMT, loc), tm, loc);
    const std::string time = Format(nl_langinfo_l(T_FMT, loc), tm, loc);
    freelocale(loc);
    return date + " " + time;
}

std::string ReportFileStamp(std::time_t when)
{
    std::tm tm{};
    localtime_r(&when, &tm);
    return Format("%Y-%m-%d %H-%M-%S", tm, nullptr);
}
