#include "SeriesControl.h"

#include "MainTables.h"
#include "MeasurementRows.h"
#include "PairForming.h"
#include "SeriesResults.h"
#include "VerificationError.h"
#include "WindowState.h"
#include "common/CommonUtils.h"
#include "common/NumberText.h"
#include "measurement/CSystem.h"

MeterStatePicture MeterStatePictureOf(const MeterStatus& status)
{
    if (!status.IsMeasuring())
        return MeterStatePicture::None;
    return status.IsIntegrating() ? MeterStatePicture::Integrating : MeterStatePicture::IntegrationEnded;
}

OccupiedSlots OccupiedSlotsOf(CSystem& system)
{
    OccupiedSlots slots{};
    for (int s = 0; s < kMeterSlots; ++s)
        slots[static_cast<size_t>(s)] = system.GetMeterNumber(s) != 0;
    return slots;
}

CSeriesControl::CSeriesControl(CSystem& system, CMainTables& tables, CWindowState& state)
    : Reported(tables), m_system(system), m_tables(tables), m_state(state),
      m_geSource([&system] { return system.GetCycleGe(); })
{
}

void CSeriesControl::ClearCurrentValues()
{
    m_tables.StringGrid5.ClearRow(0, 1);
    m_tables.StringGrid6.ClearRow(0, 1);
}

std::string CSeriesControl::NumbersOf(const std::vector<int>& slots)
{
    std::string text;
    for (int slot : slots)
        text += (text.empty() ? "" : ", ") + std::to_string(m_system.GetMeterNumber(slot));
    return text;
}

void CSeriesControl::UpdateSlotMarks()
{
    for (int s = 0; s < kMeterSlots; ++s) {
        const size_t i = static_cast<size_t>(s);
        const bool occupied = m_system.GetMeterNumber(s) != 0;
        m_state.SlotNoAnswer[i] = occupied && m_system.IsNoAnswer(s);
        m_state.SlotOnBaseModel[i] = occupied && m_system.IsOnBaseModel(s);
    }
}

void CSeriesControl::ButtonStartPauseClick()
{
    if (m_state.StartPauseImage == PICTURE_IDLE) {
        if (!m_state.ModelSet) {
            m_state.ModelSet = true;
            if (m_beforeBaseModel)
                m_beforeBaseModel();
            std::vector<int> failed;
            const int result = m_system.SetBaseModelAll(&failed);
            if (result != 0)
                ShowAppMessage(FormatC("Не удалось устонавить модель в счетчиках в ВЯ-7-1 (ФЖ-7-1).\r Ошибка %u",
                                       static_cast<unsigned>(result)) +
                               "\rСчетчик № " + NumbersOf(failed));
            UpdateSlotMarks();
            if (m_results)
                m_results->SeriesStarted(m_state.ActivePage);
        }
        if (m_results)
            m_results->CycleStarted();
        m_state.CycleMessage.clear();
        m_state.StartPauseImage = PICTURE_RUNNING;
        m_state.LastCycleCount = m_system.GetCycleResult(0);
        m_system.StartCycle(100);
        m_state.Timer1Enabled = true;
    } else {
        m_state.Timer1Enabled = false;
        m_state.StartPauseImage = PICTURE_IDLE;
        m_system.StopCycle();
        ClearCurrentValues();
    }
    m_state.PageChangeAllowed = false;
}

void CSeriesControl::ButtonStopClick()
{
    if (m_results)
        m_results->SeriesEnding();
    m_state.Timer1Enabled = false;
    m_system.StopCycle();
    ClearCurrentValues();
    m_state.StartPauseImage = PICTURE_IDLE;
    ResetMeasurementTable(m_tables.StringGrid2);
    ResetMeasurementTable(m_tables.StringGrid3);
    ResetPairsTable(m_tables.StringGrid4);
    Reported.Clear();
    // Every meter still on the base model is tried, also those a former stop failed to restore.
    m_state.ModelSet = false;
    std::vector<int> failed;
    const int result = m_system.RestoreModelAll(&failed);
    if (result != 0)
        ShowAppMessage(FormatC("Не удалось восстановить модель в счетчиках\r Ошибка %u", static_cast<unsigned>(result)) +
                       "\rСчетчик № " + NumbersOf(failed) + "\rНажмите \"Завершение\" еще раз, чтобы повторить.");
    UpdateSlotMarks();
    m_state.PageChangeAllowed = true;
}

void CSeriesControl::CalibrationRow(double ge)
{
    CTextGrid& grid = m_tables.StringGrid2;
    const int row = grid.RowCount() - 1;
    grid.SetCell(0, row, CellText("%.6g", ge));
    for (int s = 0; s < kMeterSlots; ++s) {
        if (m_system.GetMeterNumber(s) == 0)
            continue;
        float gi = 0;
        m_state.LastCycleCount = m_system.GetCycleResult(s, &gi, nullptr);
        if (m_system.HasCycleResult(s))
            grid.SetCell(SlotColumn(s), row, CellText("%.6E", gi));
    }
    AppendBlankRow(grid);
}

void CSeriesControl::VerificationRow(double geValue)
{
    CTextGrid& grid = m_tables.StringGrid3;
    const int row = grid.RowCount() - 1;
    const float ge = static_cast<float>(geValue);
    grid.SetCell(0, row, CellText("%.6g", ge));
    for (int s = 0; s < kMeterSlots; ++s) {
        if (m_system.GetMeterNumber(s) == 0)
            continue;
        float gi = 0, gv = 0;
        m_state.LastCycleCount = m_system.GetCycleResult(s, &gi, &gv);
        if (!m_system.HasCycleResult(s))
            continue;
        const bool standard = m_standardError && m_standardError(m_system.GetMeterNumber(s));
        grid.SetCell(SlotColumn(s), row, standard ? StandardErrorText(ge, gv) : VerificationErrorText(ge, gv));
    }
    AppendBlankRow(grid);
}

void CSeriesControl::Timer1Timer()
{
    const int page = m_state.ActivePage;
    if (page != PAGE_CALIBRATION && page != PAGE_VERIFICATION)
        return;
    // Idle is read before the count: the engine counts a cycle before it turns idle.
    const bool idle = m_system.WaitIdle(0);
    const int count = m_system.GetCycleResult(0);
    UpdateSlotMarks();
    if (count != m_state.LastCycleCount) {
        // The count seen is taken as read even with no meter in a slot, so a
        // completed cycle adds exactly one row.
        m_state.LastCycleCount = count;
        const double ge = m_geSource ? m_geSource() : 0.0;
        if (page == PAGE_CALIBRATION)
            CalibrationRow(ge);
        else
            VerificationRow(ge);
        if (m_results)
            m_results->CycleRecorded(page, ge);
        ++m_nRowsAdded;
        m_state.StartPauseImage = PICTURE_IDLE;
        for (int s = 0; s < kMeterSlots; ++s)
            m_state.SlotResultMissing[static_cast<size_t>(s)] =
                m_system.GetMeterNumber(s) != 0 && !m_system.HasCycleResult(s);
        m_state.CycleMessage = m_system.GetLastCycleMessage();
        if (!m_state.CycleMessage.empty())
            ShowAppMessage(m_state.CycleMessage);
    } else if (idle && m_state.Timer1Enabled && m_state.StartPauseImage == PICTURE_RUNNING &&
               m_system.GetLastCycleResult() == 0) {
        // The operator dropped the cycle at the reference flow prompt: no row, the series goes on.
        m_state.Timer1Enabled = false;
        m_state.StartPauseImage = PICTURE_IDLE;
        ClearCurrentValues();
        m_state.CycleMessage = kCycleDroppedText;
    } else if (idle && m_state.Timer1Enabled && m_state.StartPauseImage == PICTURE_RUNNING) {
        // The cycle ended without a row (link gone, no meter answering): paused, and said why.
        m_state.Timer1Enabled = false;
        m_state.StartPauseImage = PICTURE_IDLE;
        ClearCurrentValues();
        m_state.CycleMessage = m_system.GetLastCycleMessage();
        ShowAppMessage(m_state.CycleMessage.empty()
                           ? FormatC("Цикл измерения прерван, ошибка %d", m_system.GetLastCycleResult())
                           : m_state.CycleMessage);
    } else {
        for (int s = 0; s < kMeterSlots; ++s) {
            if (m_system.GetMeterNumber(s) == 0)
                continue;
            if (page == PAGE_CALIBRATION)
                m_tables.StringGrid5.SetCell(SlotColumn(s), 0, CellText("%.6g", m_system.GetCurrentGi(s)));
            else
                m_tables.StringGrid6.SetCell(SlotColumn(s), 0, CellText("%.4g", m_system.GetCurrentGv(s)));
        }
    }
}

std::array<MeterStatePicture, 10> CSeriesControl::DrawMeterStatus()
{
    std::array<MeterStatePicture, 10> pictures;
    pictures.fill(MeterStatePicture::None);
    for (int s = 0; s < kMeterSlots; ++s)
        if (m_system.GetMeterNumber(s) != 0)
            pictures[static_cast<size_t>(s)] = MeterStatePictureOf(m_system.GetMeterStatus(s));
    return pictures;
}
