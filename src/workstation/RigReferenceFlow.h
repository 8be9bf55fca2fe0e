#pragma once
// The reference flow Ge of a cycle from the rig's reference meter: its total
// read when the meters' integration starts and when it ends, Ge = ΔV / Δt;
// without a total register, the mean of the rate read during the cycle. A
// reference that does not answer, answers with an exception, stands still or
// gives a value out of range gives no Ge, with the reason.
#include "measurement/CSystem.h"
#include "rig/RigInstruments.h"

#include <mutex>
#include <optional>
#include <string>
#include <vector>

class CRigReferenceFlow {
public:
    explicit CRigReferenceFlow(CRigInstruments& rig) : m_rig(rig) {}

    // To install on the engine; they read the reference on its worker.
    CycleHooks Hooks();
    void IntegrationStarted();
    void Integrating();
    void IntegrationEnded();

    // The cycle's Ge, or none with the reason in `why`.
    std::optional<double> Ge(std::string& why);
    // How Ge was found, for the dialog and the report.
    std::string SourceText() const;
    // The water temperature over the cycle, when the rig measures it.
    std::optional<double> WaterTemperature();
    // The largest error of Δt from when the totals were read, per cent of Δt.
    double TimingErrorPercent();

private:
    CRigInstruments& m_rig;
    std::mutex m_lock;
    std::string m_error;           // the first failure of the cycle
    std::optional<RigSample> m_start, m_end;
    std::vector<double> m_rates;   // rates read during the cycle
    double m_temperatureSum = 0;
    int m_temperatureCount = 0;
};

// Ge = ΔV/Δt of two samples (m3 and steady-clock instants, m3/h); a 32-bit
// unsigned total that wrapped between them is counted once round.
double FlowFromTotals(const RigSample& start, const RigSample& end, const RegisterSpec& total);
