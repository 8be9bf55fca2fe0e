#pragma once
// Per-slot records of the measurement engine.
#include <cstdint>

// Number of meter slots on one rig.
constexpr int METER_SLOTS = 10;

// The 8 status bytes of ReadStatus, stored unchanged.
struct MeterStatus {
    uint8_t m_abData[8] = {};

    bool IsMeasuring() const { return (m_abData[4] & 0x40) != 0; }
    bool IsIntegrating() const { return (m_abData[6] & 0x02) != 0; }
    // Both bits set: the integrator runs.
    bool IsStarted() const { return IsMeasuring() && IsIntegrating(); }
    // Measuring with the integrator stopped: the integration has ended.
    bool IsFinished() const { return IsMeasuring() && !IsIntegrating(); }
};

// Mean indicated and measured flow of one meter over the last cycle.
struct CycleResult {
    float GiMean = 0;
    float GvMean = 0;
};

// The cycle count after one more cycle; wraps to 0 instead of going negative.
inline int32_t NextCycleCount(int32_t count)
{
    return count == INT32_MAX ? 0 : count + 1;
}
