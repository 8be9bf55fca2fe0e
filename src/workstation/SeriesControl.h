#pragma once
// Control of a measurement series: start/pause, end of series, and the timer
// that turns each completed cycle into a row of the active tab's table.
#include "CellNumbers.h"
#include "SeriesEnd.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class CSystem;
class CMainTables;
class CWindowState;
class CSeriesResults;
struct MeterStatus;

// The picture a slot's column header shows while the timer runs.
enum class MeterStatePicture {
    None = -1,          // not measuring: nothing is drawn
    IntegrationEnded = 0,  // picture 0
    Integrating = 1,    // picture 1
};

// The status line after the operator dropped a cycle at the reference flow prompt.
inline constexpr const char* kCycleDroppedText = "Цикл отброшен: строка не добавлена";

MeterStatePicture MeterStatePictureOf(const MeterStatus& status);
// Which of the ten slots hold a meter.
OccupiedSlots OccupiedSlotsOf(CSystem& system);

class CSeriesControl {
public:
    CSeriesControl(CSystem& system, CMainTables& tables, CWindowState& state);

    // The reference flow entered for the cycle just completed; by default the
    // value the engine's prompt returned.
    void SetReferenceFlowSource(std::function<double()> source) { m_geSource = std::move(source); }
    // Runs before the first start of a series writes the base model (keeps the own models).
    void SetBeforeBaseModel(std::function<void()> fn) { m_beforeBaseModel = std::move(fn); }
    // Told of the series' start, each cycle's row and the end (not owned; null: nothing).
    void SetResults(CSeriesResults* results) { m_results = results; }
    // True for a meter judged by a standard: its error is (Gv - Ge) / Ge x 100
    // instead of the station's (Gv - Ge) / Gv x 100.
    void SetStandardError(std::function<bool(uint32_t number)> fn) { m_standardError = std::move(fn); }

    void ButtonStartPauseClick();
    void ButtonStopClick();
    void Timer1Timer();
    // DrawMeterStatus's choice for every slot (None for empty slots).
    std::array<MeterStatePicture, 10> DrawMeterStatus();

    // Rows added by the timer since construction.
    int RowsAdded() const { return m_nRowsAdded; }

    // The rows of this series that are in a report; ending the series forgets them.
    CReportedRows Reported;

private:
    void ClearCurrentValues();
    void UpdateSlotMarks();
    std::string NumbersOf(const std::vector<int>& slots);
    void CalibrationRow(double ge);
    void VerificationRow(double ge);

    CSystem& m_system;
    CMainTables& m_tables;
    CWindowState& m_state;
    std::function<double()> m_geSource;
    std::function<void()> m_beforeBaseModel;
    CSeriesResults* m_results = nullptr;
    std::function<bool(uint32_t)> m_standardError;
    int m_nRowsAdded = 0;
};
