#pragma once
// Runs the points of a series by themselves: before each point the flow is
// brought (the rig's drive, or whoever the caller asks), then each cycle runs
// with the reference's prompt, waiting meanwhile while paused. A whole test
// plan also forms, saves and writes the pairs and verifies after them. Used by
// the window (on its bus thread) and by vq7ctl.
#include "measurement/CSystem.h"
#include "workstation/TestPlan.h"

#include <atomic>
#include <functional>
#include <string>

class CWorkstation;
class CSystem;
class CSeriesRunner;
class CRigSession;

// What happened in a running plan: a flow settled, or a cycle gave its row.
struct PlanEvent {
    enum Kind { Settled, Cycle } kind = Cycle;
    double flow = 0;
    double seconds = 0;         // Settled: set-point written until settled
    size_t point = 0, points = 0;
    unsigned cycle = 0, cycles = 0;
    std::string ge;             // Cycle: the row's Ge as the table shows it
    double timingPercent = -1;  // Cycle: the reference's timing bound, -1 without the rig
};

// The event as vq7ctl prints it ("point 3/6, cycle 2/3: Ge = ..."; "flow 8 m3/h settled in 2.1 s").
std::string PlanEventText(const PlanEvent& event);

struct PlanStep {
    bool ok = true;
    bool cancelled = false;
    int result = 0;      // the cycle's transaction result, when one failed
    std::string why;     // what stopped the series
};

class CPlanRunner {
public:
    CPlanRunner(CWorkstation& ws, CSystem& system, CSeriesRunner& runner, CRigSession& rig)
        : m_ws(ws), m_system(system), m_runner(runner), m_rig(rig)
    {
    }

    // Asked between steps and while paused; true ends the series.
    std::function<bool()> cancelled;
    std::atomic<bool> paused{false};
    // Brings the rig to a flow when it has no drive (true: set). Default: taken as set.
    std::function<bool(double flow)> bringFlow;
    // The prompt of the next cycle when the rig's reference does not give Ge.
    std::function<ReferenceFlowPrompt()> manualPrompt;
    // Where the plan stands, before each cycle ("точка 3 из 6, ..."), and what happened.
    std::function<void(const std::string&)> onProgress;
    std::function<void(const PlanEvent&)> onEvent;

    // The points on the calibration or verification tab; first: the place of the
    // first of them in the plan's progress.
    PlanStep MeasurePoints(int page, const std::vector<PlanPoint>& points, CPlanProgress* progress = nullptr,
                           int first = 0);
    // A whole plan over the meters in the list (applied already): the points,
    // and for a calibration the pairs formed, saved, written when write, the
    // series ended and the verification after it. The pump stops at the end.
    PlanStep RunPlan(const TestPlan& plan, bool write);
    // Seconds spent bringing flows so far (set-point written until settled).
    double SettleSeconds() const { return m_settleSeconds; }

private:
    bool Cancelled() const { return cancelled && cancelled(); }
    bool BringFlow(double flow, PlanStep& step);

    CWorkstation& m_ws;
    CSystem& m_system;
    CSeriesRunner& m_runner;
    CRigSession& m_rig;
    double m_settleSeconds = 0;
};
