#pragma once
// Drives a series without a window: selects the tab, presses the start button
// and runs the timer until the cycle's row has arrived. Used by the
// command-line tool and the tests.
#include <functional>

class CWorkstation;
class CSystem;

class CSeriesRunner {
public:
    CSeriesRunner(CWorkstation& ws, CSystem& system) : m_ws(ws), m_system(system) {}

    // Timer period while waiting for a cycle, ms.
    unsigned m_nTickMs = 50;
    // A cycle that brings no row within this time is paused and fails, ms.
    unsigned m_nCycleTimeoutMs = 60000;
    // Called after every timer tick (progress output).
    std::function<void()> onTick;
    // Polled on every tick: true pauses the running cycle and fails it.
    std::function<bool()> stopRequested;

    // Selects the calibration or verification tab; false when the tabs are locked.
    bool SelectPage(int page);
    // One cycle on the active tab; true when its row was added. A cycle that
    // ends without results (failed exchange, no reference flow), runs past
    // the time-out or is asked to stop is paused and gives false.
    bool RunCycle();

private:
    CWorkstation& m_ws;
    CSystem& m_system;
};
