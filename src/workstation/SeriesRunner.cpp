#include "SeriesRunner.h"

#include "Workstation.h"

#include <chrono>
#include <thread>

bool CSeriesRunner::SelectPage(int page)
{
    return m_ws.State.SelectPage(page);
}

bool CSeriesRunner::RunCycle()
{
    const int rowsBefore = m_ws.Series.RowsAdded();
    m_ws.Series.ButtonStartPauseClick();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(m_nCycleTimeoutMs);
    while (m_ws.State.Timer1Enabled && m_ws.Series.RowsAdded() == rowsBefore) {
        if (std::chrono::steady_clock::now() >= deadline) {
            m_ws.Series.ButtonStartPauseClick();   // pause
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(m_nTickMs));
        m_ws.Series.Timer1Timer();
        if (onTick)
            onTick();
    }
    return m_ws.Series.RowsAdded() > rowsBefore;
}
