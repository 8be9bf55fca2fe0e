#include "SeriesResults.h"

#include "CellNumbers.h"
#include "MainTables.h"
#include "MeasurementRows.h"
#include "PairForming.h"
#include "VerificationError.h"
#include "VerificationVerdict.h"
#include "WindowState.h"
#include "common/WriteJournal.h"
#include "measurement/CSystem.h"
#include "results/ResultsRecorder.h"

#define SI_NO_CONVERSION   // bytes pass unchanged
#include "common/RegularFile.h"
#include "common/SettingsFile.h"

#include <SimpleIni.h>
#include <algorithm>
#include <cmath>

ResultsSettings LoadResultsSettings(const std::string& configPath)
{
    ResultsSettings s;
    CSimpleIniA ini(false, false, false);
    // Only a regular file reaches the ini library (a fifo or a folder would hang or crash it).
    std::string text, why;
    if (!ReadRegularFile(configPath, text, why, CSettingsFile::kMaxBytes) || ini.LoadData(text) < 0)
        return s;
    s.database = ini.GetValue("RESULTS", "database", "");
    s.station = ini.GetValue("RESULTS", "station", "");
    s.askOperator = std::string(ini.GetValue("RESULTS", "ask_operator", "0")) == "1";
    return s;
}

CSeriesResults::CSeriesResults(CSystem& system, CMainTables& tables, CWindowState& state)
    : m_system(system), m_tables(tables), m_state(state)
{
}

void CSeriesResults::SeriesStarted(int page)
{
    m_page = page;
    m_points.clear();
    m_endState = SeriesState::Complete;
    if (!m_recorder)
        return;
    m_recorder->BeginSeries(page == PAGE_CALIBRATION ? "calibration" : "verification");
    std::vector<MeterRecord> meters;
    for (int s = 0; s < kMeterSlots; ++s) {
        const uint32_t number = m_system.GetMeterNumber(s);
        if (number == 0)
            continue;
        const int row = s + 1;
        meters.push_back({s, number, m_tables.StringGrid1.Cell(SP_MODEL, row),
                          m_tables.StringGrid1.Cell(SP_VERSION, row), m_tables.StringGrid1.Cell(SP_DIAMETER, row)});
    }
    m_recorder->SetMeters(meters);
}

void CSeriesResults::CycleStarted()
{
    m_cycleStart = std::chrono::steady_clock::now();
    m_cycleTimed = true;
}

void CSeriesResults::CycleRecorded(int page, double ge)
{
    PointRecord p;
    p.setFlow = m_setFlow;
    if (m_water) {
        const Water w = m_water();
        p.waterTemperature = w.temperature;
        p.waterPressure = w.pressure;
    }
    p.ge = page == PAGE_VERIFICATION ? static_cast<double>(static_cast<float>(ge)) : ge;
    if (m_cycleTimed)
        p.cycleSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - m_cycleStart).count();
    m_cycleTimed = false;
    const int lastResult = m_system.GetLastCycleResult();
    for (int s = 0; s < kMeterSlots; ++s) {
        const uint32_t number = m_system.GetMeterNumber(s);
        if (number == 0)
            continue;
        ReadingRecord r;
        r.slot = s;
        r.number = number;
        float gi = 0, gv = 0;
        m_system.GetCycleResult(s, &gi, &gv);
        if (m_system.HasCycleResult(s)) {
            r.gi = gi;
            r.gv = gv;
            if (page == PAGE_VERIFICATION)
                r.error = VerificationError(static_cast<float>(ge), gv);
        } else {
            r.result = lastResult != 0 ? lastResult : 1016;
        }
        p.readings.push_back(r);
    }
    p.pointNo = static_cast<int>(m_points.size()) + 1;
    m_points.push_back(p);
    if (m_recorder)
        m_recorder->AddPoint(p);
}

std::vector<VerdictRecord> CSeriesResults::VerdictsOf(const std::vector<PointRecord>& points, double tolerance)
{
    std::vector<VerdictRecord> verdicts;
    for (const PointRecord& p : points) {
        for (const ReadingRecord& r : p.readings) {
            auto it = std::find_if(verdicts.begin(), verdicts.end(), [&](const VerdictRecord& v) { return v.slot == r.slot; });
            if (it == verdicts.end()) {
                verdicts.push_back({r.slot, r.number, "", std::nullopt});
                it = verdicts.end() - 1;
            }
            if (!r.error)
                continue;
            // The cell shows the error to three places; the verdict judges what it shows.
            const double shown = std::round(*r.error * 1000.0) / 1000.0;
            if (!it->worstError || std::fabs(shown) > std::fabs(*it->worstError))
                it->worstError = shown;
            const bool pass = std::fabs(shown) <= tolerance;
            if (!pass)
                it->verdict = VerdictText(Verdict::Fail);
            else if (it->verdict.empty())
                it->verdict = VerdictText(Verdict::Pass);
        }
    }
    return verdicts;
}

void CSeriesResults::SeriesEnding()
{
    if (!m_recorder || !m_recorder->InSeries())
        return;
    if (m_page == PAGE_VERIFICATION) {
        m_recorder->SetVerdicts(VerdictsOf(m_points, tolerance));
    } else if (PairRowCount(m_tables.StringGrid4) > 0) {
        std::vector<PairRecord> pairs;
        const CTextGrid& g = m_tables.StringGrid4;
        for (int row = 1; row < g.RowCount(); ++row) {
            if (g.Cell(0, row).empty())
                continue;
            for (int s = 0; s < kMeterSlots; ++s) {
                const uint32_t number = m_system.GetMeterNumber(s);
                if (number == 0)
                    continue;
                PairRecord p{s, number, row, 0, std::nullopt};
                try {
                    p.ge = CellNumber(g, 0, row);
                    if (!g.Cell(SlotColumn(s), row).empty())
                        p.gi = CellNumber(g, SlotColumn(s), row);
                } catch (...) {
                    continue;
                }
                pairs.push_back(p);
            }
        }
        m_recorder->SetPairs(pairs);
    }
    m_recorder->EndSeries(m_endState);
}

bool CSeriesResults::SeriesStored() const
{
    return m_recorder && m_recorder->SeriesStored();
}

WriteRecord WriteRecordOf(const WriteJournalEntry& e)
{
    WriteRecord w;
    w.time = e.time;
    w.number = e.number;
    w.model = e.model;
    w.operation = e.operation;
    w.before = e.before;
    w.after = e.after;
    w.readback = e.readback;
    w.result = e.result;
    return w;
}
