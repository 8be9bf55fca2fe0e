#pragma once
// The rows of the measurement tables that no report holds yet, and the
// question asked before a series holding such rows is ended.
#include <array>
#include <string>
#include <vector>

class CMainTables;

class CReportedRows {
public:
    explicit CReportedRows(const CMainTables& tables) : m_tables(tables) {}

    // A report of the page was made: the page's rows as they stand are in it.
    void MarkReported(int page);
    // A new series: no row is in a report.
    void Clear();
    // Data rows of the calibration and verification tables that the last
    // report of their page does not hold (rows changed since count as new).
    int UnreportedCount() const;

private:
    const CMainTables& m_tables;
    // Per table (calibration, verification): the texts of the rows reported.
    std::array<std::vector<std::string>, 2> m_reported;
};

// "Завершить серию? ..." for rows not in a report.
// stored: the results store holds the series (said, so "yes" loses no numbers).
std::string SeriesEndQuestion(int rows, bool stored = false);
// Asks the operator when ending now would lose rows; true: end the series.
// Where no one can be asked, the answer is no.
bool ConfirmSeriesEnd(const CReportedRows& rows, bool stored = false);
