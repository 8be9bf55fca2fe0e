#pragma once
// Date and time texts of a report.
#include <ctime>
#include <string>

// Short date and long time as the operator's locale (LC_ALL, LC_TIME, LANG)
// writes them; "09.12.2026 13:34:08" where the locale is C/POSIX or missing, as
// the program speaks Russian. localeName "" takes the environment's.
std::string ReportDateTimeText(std::time_t when, const std::string& localeName = "");
// "2026-12-09 13-34-08": sorts by time and is a valid file name everywhere.
std::string ReportFileStamp(std::time_t when);
