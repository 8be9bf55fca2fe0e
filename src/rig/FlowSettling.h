#pragma once
// When a flow counts as settled: within ±band % of the set-point without a
// break for the hold time; not settled within the time limit is a time-out.
#include <functional>
#include <string>

class CRigInstruments;
struct RigConfig;

enum class SettleOutcome { Waiting, Settled, TimedOut, Failed, Aborted };

class CFlowSettling {
public:
    CFlowSettling(double setpoint, double bandPercent, double holdSeconds, double timeoutSeconds);
    // A flow seen `seconds` after the set-point was written.
    SettleOutcome Add(double seconds, double flow);
    // Seconds the flow has stayed in the band (0 when the last sample was out).
    double InBandSeconds() const { return m_inBand ? m_last - m_inBandSince : 0; }
    double LastFlow() const { return m_lastFlow; }

private:
    double m_setpoint, m_band, m_hold, m_timeout;
    bool m_inBand = false;
    double m_inBandSince = 0, m_last = 0, m_lastFlow = 0;
};

// Writes the set-point and waits, reading the reference every 200 ms, until
// the flow settles. Anything but Settled leaves the reason in `why`.
// `cancelled` is asked on every reading; true gives Aborted.
SettleOutcome SetFlowAndSettle(CRigInstruments& rig, double flow, const std::function<bool()>& cancelled,
                               std::string& why);
