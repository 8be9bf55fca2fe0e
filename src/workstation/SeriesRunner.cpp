#include "SeriesRunner.h"

#include "Workstation.h"
#include "measurement/CSystem.h"

#include <chrono>
#include <thread>

bool CSeriesRunner::SelectPage(int page)
{
    return m_ws.State.SelectPage(page);
}

bool CSeriesRunner::RunCycle()
{
    const int rowsBefore = m_ws.Series.RowsAdded();
    auto arrived = [&] { return m_ws.Series.RowsAdded() > rowsBefore; };
    m_ws.Series.ButtonStartPauseClick();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(m_nCycleTimeoutMs);
    while (m_ws.State.Timer1Enabled && !arrived()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(m_nTickMs));
        // The engine counts a cycle before it turns idle: one more tick after
        // it went idle shows whether the cycle brought results.
        const bool idle = m_system.WaitIdle(0);
        m_ws.Series.Timer1Timer();
        if (onTick)
            onTick();
        if (arrived())
            break;
        const bool stop = stopRequested && stopRequested();
        if (idle || stop || std::chrono::steady_clock::now() >= deadline) {
            if (m_ws.State.Timer1Enabled)   // the timer may have paused a failed cycle itself
                m_ws.Series.ButtonStartPauseClick();
            return false;
        }
    }
    return arrived();
}
