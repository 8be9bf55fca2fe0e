#pragma once
// Tells the terminal about every poll pass a meter fails while a cycle runs,
// so a meter that stops answering is never waited for in silence.
#include "measurement/MeterStatus.h"

class CSystem;

class CPollReport {
public:
    explicit CPollReport(CSystem& system) : m_system(system) {}
    // Prints a line on stderr for each pass failed since the last call.
    void Update();

private:
    CSystem& m_system;
    int m_anSeen[METER_SLOTS] = {};
};
