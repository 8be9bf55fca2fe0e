#pragma once
// Drives a series without a window: selects the tab, presses the start button
// and runs the timer until the cycle's row has arrived. Used by the
// command-line tool and the tests.
#include <functional>

class CWorkstation;

class CSeriesRunner {
public:
    explicit CSeriesRunner(CWorkstation& ws) : m_ws(ws) {}

    // Timer period while waiting for a cycle, ms.
    unsigned m_nTickMs = 50;
    // A cycle that brings no row within this time is paused and fails, ms.
    unsigned m_nCycleTimeoutMs = 60000;
    // Called after every timer tick (progress output).
    std::function<void()> onTick;

    // Selects the calibration or verification tab; false when the tabs are locked.
    bool SelectPage(int page);
    // One cycle on the active tab; true when its row was added.
    bool RunCycle();

private:
    CWorkstation& m_ws;
};
